#pragma once
// Helpers for the suites that drive dialogs: controls by number, language tables of a test's
// own, and actions on the next modal dialog.

#include "base/language.h"
#include "widgets/localize.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

namespace kestrix::testing {

template <class Widget>
Widget *childByNumber(QWidget *window, int number)
{
    for (Widget *child : window->findChildren<Widget *>()) {
        if (controlNumber(child) == number)
            return child;
    }
    return nullptr;
}

// Loads a language named "test" from a folder of its own holding the given entries.
class OwnTables {
public:
    OwnTables(const QString &identifiers, const QString &strings)
    {
        write("identifiers.ini", "[Identifiers]\n" + identifiers);
        write("lng_test.ini", "[Strings]\n" + strings);
        LoadLanguage("test", m_dir.path());
    }

private:
    void write(const QString &name, const QString &text)
    {
        QFile file(m_dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    QTemporaryDir m_dir;
};

// Runs `action` as soon as the next modal dialog is open, then closes the dialog if the action
// left it open (say, after a failed assertion), so that exec() always returns.
inline void whenModalOpens(std::function<void(QWidget *)> action)
{
    auto *poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, action] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            action(modal);
            if (modal->isVisible())
                modal->close();
        }
    });
    poll->start();
}

} // namespace kestrix::testing
