// kestrix: the configuration utility's window. Loads the configured language, shows the main
// window and ends when it closes.
//
//   kestrix [--data-dir DIR]
//
// Pictures and start-up timing of the windows are taken by kestrix-shot (tools/).
#include "app/main_window.h"
#include "app/qt_translations.h"
#include "base/atomic_file.h"
#include "base/config_file.h"
#include "base/language.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <cstdio>

namespace {

constexpr int UsageError = 2;

void setApplicationIcon()
{
    const QString path = kestrix::resourceFilePath(QStringLiteral("kestrix.png"));
    if (QFileInfo::exists(path))
        QApplication::setWindowIcon(QIcon(path));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    kestrix::ignoreFileSizeSignal();
    QApplication::setApplicationName(QStringLiteral("kestrix"));
    QStringList arguments = QApplication::arguments();
    QString error;
    if (!kestrix::applyDataDirOption(arguments, &error)) {
        std::fprintf(stderr, "kestrix: %s\n", qPrintable(error));
        return UsageError;
    }
    const QString language = kestrix::configuredLanguage();
    kestrix::LoadLanguageOrShipped(language);
    kestrix::loadQtTranslations(language);
    setApplicationIcon();
    kestrix::MainWindow window;
    window.exec();
    return 0;
}
