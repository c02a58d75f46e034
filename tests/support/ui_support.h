#pragma once
// Helpers for the suites that drive dialogs: controls by number, language tables of a test's
// own, actions on the next modal dialog and settled layouts.

#include "base/language.h"
#include "widgets/localize.h"

#include <QApplication>
#include <QFile>
#include <QLayout>
#include <QRect>
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

// Runs pending layout work until a pass changes no widget's geometry (at most 50 passes, then
// the test fails). Layouts settle through posted events, so this replaces guessed waits.
inline void waitForSettledLayout(QWidget *window)
{
    const auto geometries = [window] {
        QList<QRect> all{window->geometry()};
        for (const QWidget *child : window->findChildren<QWidget *>())
            all << child->geometry();
        return all;
    };
    QList<QRect> before = geometries();
    for (int pass = 0; pass < 50; ++pass) {
        if (QLayout *layout = window->layout())
            layout->activate();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        const QList<QRect> now = geometries();
        if (now == before)
            return;
        before = now;
    }
    ADD_FAILURE() << "the layout did not settle";
}

} // namespace kestrix::testing
