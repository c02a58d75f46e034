// kestrix-shot: pictures and start-up timing of the utility's windows, for the README and the
// start-up benchmark. Not installed.
//
//   kestrix-shot [--data-dir DIR] --screenshot FILE [--download-first]
//   kestrix-shot [--data-dir DIR] --exit-after-first-paint
//   kestrix-shot [--data-dir DIR] --screenshot-dialog NAME FILE
//
// --screenshot FILE renders the whole main window into an image file once it is shown, then
// exits. With --download-first it runs Download Configuration first and renders the window as
// the download left it (the README's picture, taken against the simulated board).
// --exit-after-first-paint prints "painted after N ms" (N counted from the start of main) as
// soon as the window has been painted for the first time, then exits.
// --screenshot-dialog NAME FILE renders a dialog of an area alone, readied as the area says
// (see each area's dialogs in its ui/ folder), then exits.
#include "base/config_file.h"
#include "base/language.h"
#include "comm/board_queue.h"
#include "comm/serial_settings.h"
#include "app/main_window.h"
#include "widgets/area.h"
#include "widgets/board_panel.h"
#include "widgets/main_window_host.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

using namespace kestrix;

constexpr int UsageError = 2;
constexpr int ScreenshotFailed = 1;
constexpr int NeverPainted = 1;
// A window that is not painted in this time will not be: the platform shows nothing.
constexpr int PaintTimeoutMilliseconds = 30000;

// Calls `then` once, right after the next paint of `widget` has been handled (the paint of a
// window draws its children in the same pass, so the whole window is on screen by then).
class NextPaint : public QObject {
public:
    NextPaint(QWidget &widget, std::function<void()> then) : QObject(&widget), m_then(std::move(then))
    {
        widget.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(this, [this] {
                m_then();
                deleteLater();
            }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<void()> m_then;
};

// Takes a flag without value out of the arguments; true when it was there.
bool takeFlag(QStringList &arguments, const QString &name)
{
    return arguments.removeAll(name) > 0;
}

// Takes "--screenshot FILE" (or "--screenshot=FILE") out of the arguments. Returns false when
// the option has no file name.
bool takeScreenshotOption(QStringList &arguments, QString *file)
{
    const QString name = QStringLiteral("--screenshot");
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i].startsWith(name + u'=')) {
            *file = arguments.takeAt(i).mid(name.size() + 1);
            return !file->isEmpty();
        }
        if (arguments[i] == name) {
            arguments.removeAt(i);
            if (i >= arguments.size())
                return false;
            *file = arguments.takeAt(i);
            return !file->isEmpty();
        }
    }
    return true;
}

void setApplicationIcon()
{
    const QString path = resourceFilePath(QStringLiteral("kestrix.png"));
    if (QFileInfo::exists(path))
        QApplication::setWindowIcon(QIcon(path));
}

// Ends the window with an error when it has not been painted in time, so that a platform that
// never shows it cannot keep the program waiting for ever.
void failUnlessPainted(QDialog &window, const bool *painted, bool *failed)
{
    QTimer::singleShot(PaintTimeoutMilliseconds, &window, [&window, painted, failed] {
        if (*painted)
            return;
        std::fprintf(stderr, "kestrix-shot: the window was not painted within %d ms\n", PaintTimeoutMilliseconds);
        *failed = true;
        window.reject();
    });
}

// Resizes the window to the size that needs no scrolling, lets the layout settle at that size
// on the next paint, renders it into `file` and closes it.
void takeScreenshot(MainWindow &window, const QString &file, bool *saved)
{
    window.resize(window.fullSize());
    window.tick(QDateTime::currentDateTime());
    new NextPaint(window, [&window, file, saved] {
        *saved = window.grab().save(file);
        if (!*saved)
            std::fprintf(stderr, "kestrix-shot: cannot write %s\n", qPrintable(file));
        window.reject();
    });
    // The size may already be the full one: ask for the paint either way.
    window.update();
}

// Clicks Download Configuration and calls `then` once the download has ended and the window
// shows what it read.
void downloadThen(MainWindow &window, std::function<void()> then)
{
    auto *waiting = new QObject(&window);
    QObject::connect(&window.queue(), &BoardQueue::busyChanged, waiting, [waiting, then](bool busy) {
        if (busy)
            return;
        waiting->deleteLater();
        then();
    });
    window.button(MainButton::Download)->click();
}

// Once the window has been painted, takes the screenshot, after a download when asked.
void scheduleScreenshot(MainWindow &window, const QString &file, bool downloadFirst, bool *saved, bool *painted)
{
    new NextPaint(window, [&window, file, downloadFirst, saved, painted] {
        *painted = true;
        if (downloadFirst)
            downloadThen(window, [&window, file, saved] { takeScreenshot(window, file, saved); });
        else
            takeScreenshot(window, file, saved);
    });
}

// Takes "--screenshot-dialog NAME FILE" out of the arguments. Returns false when the option
// lacks its name or file.
bool takeDialogScreenshotOption(QStringList &arguments, QString *name, QString *file)
{
    const int at = arguments.indexOf(QStringLiteral("--screenshot-dialog"));
    if (at < 1)
        return true;
    if (at + 2 >= arguments.size())
        return false;
    *name = arguments[at + 1];
    *file = arguments[at + 2];
    arguments.remove(at, 3);
    return !name->isEmpty() && !file->isEmpty();
}

// The dialog of that name among the areas' dialogs, or nullptr.
const AreaDialog *findDialog(const QString &name)
{
    for (const Area *area : areas()) {
        for (const AreaDialog &dialog : area->dialogs) {
            if (name == QLatin1String(dialog.name))
                return &dialog;
        }
    }
    return nullptr;
}

// Shows the dialog, renders it into `file` once it has been painted at its own size, and closes
// it.
int screenshotDialog(const QString &name, const QString &file)
{
    const AreaDialog *shot = findDialog(name);
    if (!shot) {
        std::fprintf(stderr, "kestrix-shot: --screenshot-dialog knows no dialog \"%s\"\n", qPrintable(name));
        return UsageError;
    }
    const std::unique_ptr<QDialog> dialog = shot->make();
    QDialog &window = *dialog;
    bool saved = false;
    bool painted = false;
    bool neverPainted = false;
    new NextPaint(window, [&window, &file, &saved, &painted] {
        painted = true;
        window.adjustSize();
        new NextPaint(window, [&window, &file, &saved] {
            saved = window.grab().save(file);
            if (!saved)
                std::fprintf(stderr, "kestrix-shot: cannot write %s\n", qPrintable(file));
            window.reject();
        });
        window.update();
    });
    failUnlessPainted(window, &painted, &neverPainted);
    window.exec();
    if (neverPainted)
        return NeverPainted;
    return saved ? 0 : ScreenshotFailed;
}

// Prints how long after the start of main the window was first painted, and closes it.
void exitAfterFirstPaint(MainWindow &window, const QElapsedTimer &sinceStart, bool *painted)
{
    new NextPaint(window, [&window, &sinceStart, painted] {
        *painted = true;
        std::printf("painted after %.1f ms\n", double(sinceStart.nsecsElapsed()) / 1e6);
        std::fflush(stdout);
        window.reject();
    });
}

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrix"));

    QStringList arguments = QApplication::arguments();
    QString error;
    if (!applyDataDirOption(arguments, &error)) {
        std::fprintf(stderr, "kestrix-shot: %s\n", qPrintable(error));
        return UsageError;
    }
    QString screenshot;
    if (!takeScreenshotOption(arguments, &screenshot)) {
        std::fprintf(stderr, "kestrix-shot: --screenshot needs a file name\n");
        return UsageError;
    }
    QString dialogName;
    QString dialogShot;
    if (!takeDialogScreenshotOption(arguments, &dialogName, &dialogShot)) {
        std::fprintf(stderr, "kestrix-shot: --screenshot-dialog needs a dialog name and a file name\n");
        return UsageError;
    }
    const bool exitAfterPaint = takeFlag(arguments, QStringLiteral("--exit-after-first-paint"));
    const bool downloadFirst = takeFlag(arguments, QStringLiteral("--download-first"));
    if (downloadFirst && screenshot.isEmpty()) {
        std::fprintf(stderr, "kestrix-shot: --download-first goes with --screenshot\n");
        return UsageError;
    }
    if (exitAfterPaint && !screenshot.isEmpty()) {
        std::fprintf(stderr, "kestrix-shot: --screenshot and --exit-after-first-paint exclude each other\n");
        return UsageError;
    }
    if (!dialogShot.isEmpty() && (!screenshot.isEmpty() || exitAfterPaint)) {
        std::fprintf(stderr, "kestrix-shot: --screenshot-dialog goes alone\n");
        return UsageError;
    }

    LoadLanguageOrShipped(configuredLanguage());
    setApplicationIcon();
    if (!dialogShot.isEmpty()) {
        // A dialog alone works with the board config.ini names, as it would after the window.
        BoardQueues::instance().setSession(readSerialSettings());
        return screenshotDialog(dialogName, dialogShot);
    }

    MainWindow window;
    bool saved = true;
    bool painted = false;
    bool neverPainted = false;
    if (!screenshot.isEmpty())
        scheduleScreenshot(window, screenshot, downloadFirst, &saved, &painted);
    else if (exitAfterPaint)
        exitAfterFirstPaint(window, sinceStart, &painted);
    if (!screenshot.isEmpty() || exitAfterPaint)
        failUnlessPainted(window, &painted, &neverPainted);
    window.exec();
    if (neverPainted)
        return NeverPainted;
    return saved ? 0 : ScreenshotFailed;
}
