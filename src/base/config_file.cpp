#include "base/config_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace kestrix {
namespace {

QMutex dataDirMutex;
QString dataDirOverride;

QString executableDir()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}

} // namespace

QString dataDir()
{
    QMutexLocker lock(&dataDirMutex);
    if (!dataDirOverride.isEmpty())
        return dataDirOverride;
    const QString fromEnvironment = qEnvironmentVariable("KESTRIX_DATA_DIR");
    return fromEnvironment.isEmpty() ? executableDir() : fromEnvironment;
}

void setDataDir(const QString &dir)
{
    QMutexLocker lock(&dataDirMutex);
    dataDirOverride = dir.isEmpty() ? QString() : QDir(dir).absolutePath();
}

bool applyDataDirOption(QStringList &arguments, QString *error)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        const bool joined = argument.startsWith(QLatin1String("--data-dir="));
        if (!joined && argument != QLatin1String("--data-dir"))
            continue;
        const QString folder = joined ? argument.mid(11) : arguments.value(i + 1);
        if (folder.isEmpty() || folder.startsWith(QLatin1String("--"))) {
            if (error)
                *error = QStringLiteral("--data-dir needs a folder");
            return false;
        }
        setDataDir(folder);
        arguments.remove(i, joined ? 1 : 2);
        return true;
    }
    return true;
}

QString dataFilePath(const QString &name)
{
    return QDir(dataDir()).filePath(name);
}

QString shippedDataDir()
{
    return executableDir();
}

QString configFilePath()
{
    return dataFilePath(QStringLiteral("config.ini"));
}

IniFile configFile()
{
    return IniFile(configFilePath());
}

QString configReadError()
{
    const QString path = configFilePath();
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (info.isDir())
        return QStringLiteral("cannot read %1: it is a folder").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    return {};
}

QString configuredLanguage()
{
    return configFile().read(QStringLiteral("System"), QStringLiteral("Language"), QStringLiteral("english"));
}

} // namespace kestrix
