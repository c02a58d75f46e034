#pragma once
// Helpers for the suites that drive dialogs: controls by number, language tables of a test's
// own, actions on the next modal dialog, settled layouts, wheel turns as the mouse gives them,
// and a screen of a given size.

#include "base/language.h"
#include "support/timeouts.h"
#include "widgets/localize.h"

#include <QApplication>
#include <QTest>
#include <QFile>
#include <QLayout>
#include <QProcess>
#include <QRect>
#include <QScreen>
#include <QSpontaneKeyEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
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
    poll->setInterval(Interval::ModalPoll.ms);
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

// Shows the window, makes it the active window and waits until it is laid out.
inline bool showActive(QWidget *window)
{
    window->show();
    QApplication::setActiveWindow(window);
    window->activateWindow();
    const bool active = QTest::qWaitForWindowActive(window);
    waitForSettledLayout(window);
    return active;
}

// Turns the mouse wheel over the middle of `target` by `delta` (120 is one notch up) as the
// window system delivers it: a spontaneous event, which a widget that ignores it passes on to
// its parents.
inline void turnWheel(QWidget *target, int delta)
{
    const QPointF local = QRectF(target->rect()).center();
    QWheelEvent event(local, QPointF(target->mapToGlobal(local.toPoint())), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    // sendEvent() would clear the spontaneous mark; the window system's path is notify().
    QSpontaneKeyEvent::setSpontaneous(&event);
    QCoreApplication::instance()->notify(target, &event);
}

// Whether the screen offers at least `size`. When it does not, the running test runs again in
// a child process whose offscreen screen is that large (the offscreen platform takes its
// screens from a configuration file named in QT_QPA_PLATFORM); the child's failures are the
// test's, and the caller returns at once on false.
inline bool onScreenOfAtLeast(QSize size)
{
    constexpr char ChildMarker[] = "KESTRIX_TEST_LARGE_SCREEN";
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen && screen->availableSize().width() >= size.width() && screen->availableSize().height() >= size.height())
        return true;
    if (qEnvironmentVariableIsSet(ChildMarker)) {
        ADD_FAILURE() << "the offscreen platform did not give the configured screen";
        return false;
    }
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        ADD_FAILURE() << "cannot write " << config.toStdString();
        return false;
    }
    file.write(QStringLiteral(R"({"screens": [{"name": "large", "x": 0, "y": 0, "width": %1, "height": %2,
                                  "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                   .arg(size.width())
                   .arg(size.height())
                   .toUtf8());
    file.close();

    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config);
    environment.insert(QString::fromLatin1(ChildMarker), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=%1.%2").arg(QString::fromUtf8(test->test_suite_name()), QString::fromUtf8(test->name()))});
    if (!child.waitForFinished(Timeout::ProcessRun)) {
        child.kill();
        child.waitForFinished();
        ADD_FAILURE() << "the test on the larger screen did not end";
        return false;
    }
    const QString output = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
    return false;
}

} // namespace kestrix::testing
