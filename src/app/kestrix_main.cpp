// kestrix: the configuration utility's window. Loads the configured language, shows the main
// window and ends when it closes.
//
//   kestrix [--data-dir DIR] [--screenshot FILE]
//
// --screenshot FILE renders the whole window into an image file once it is shown, then exits.

#include "base/config_file.h"
#include "base/language.h"
#include "app/velmora_dlg.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

namespace {

using namespace kestrix;

constexpr int UsageError = 2;
constexpr int ScreenshotFailed = 1;

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
    const QString path = dataFilePath(QStringLiteral("kestrix.png"));
    if (QFileInfo::exists(path))
        QApplication::setWindowIcon(QIcon(path));
}

// Renders the window at the size that needs no scrolling, once it has been laid out at that
// size, and closes it.
void scheduleScreenshot(CVelmoraDlg &window, const QString &file, bool *saved)
{
    constexpr int LayoutSettleMilliseconds = 300;
    QTimer::singleShot(0, &window, [&window] {
        window.resize(window.fullSize());
        window.tick(QDateTime::currentDateTime());
    });
    QTimer::singleShot(LayoutSettleMilliseconds, &window, [&window, file, saved] {
        *saved = window.grab().save(file);
        if (!*saved)
            std::fprintf(stderr, "kestrix: cannot write %s\n", qPrintable(file));
        window.reject();
    });
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrix"));

    QStringList arguments = QApplication::arguments();
    QString error;
    if (!applyDataDirOption(arguments, &error)) {
        std::fprintf(stderr, "kestrix: %s\n", qPrintable(error));
        return UsageError;
    }
    QString screenshot;
    if (!takeScreenshotOption(arguments, &screenshot)) {
        std::fprintf(stderr, "kestrix: --screenshot needs a file name\n");
        return UsageError;
    }

    LoadLanguageOrShipped(configuredLanguage());
    setApplicationIcon();

    CVelmoraDlg window;
    bool saved = true;
    if (!screenshot.isEmpty())
        scheduleScreenshot(window, screenshot, &saved);
    window.exec();
    return saved ? 0 : ScreenshotFailed;
}
