#include "app/config_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <limits>

namespace kestrix {
namespace {

QMutex dataDirMutex;
QString dataDirOverride;
QHash<int, QString> deviceOverrides;

const QString SettingsSection = QStringLiteral("Settings");
const QString PortsSection = QStringLiteral("Ports");

QString executableDir()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}

std::optional<int> decimal(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    bool ok = false;
    const int number = text->toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
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

QString configFilePath()
{
    return dataFilePath(QStringLiteral("config.ini"));
}

IniFile configFile()
{
    return IniFile(configFilePath());
}

int speedIndex(int speed)
{
    for (int i = 0; i < int(std::size(SpeedTable)); ++i) {
        if (SpeedTable[i] == speed)
            return i;
    }
    return -1;
}

void readSerialSettings(SerialSettings &settings)
{
    const IniFile config = configFile();
    const auto port = decimal(config.value(SettingsSection, QStringLiteral("Port")));
    if (port && *port < std::numeric_limits<int>::max())
        settings.port = *port + 1;
    const auto baud = decimal(config.value(SettingsSection, QStringLiteral("Baud")));
    if (baud && *baud >= 0 && *baud < int(std::size(SpeedTable)))
        settings.speed = SpeedTable[*baud];
}

SerialSettings readSerialSettings()
{
    SerialSettings settings;
    readSerialSettings(settings);
    return settings;
}

bool writeSerialSettings(const SerialSettings &settings)
{
    if (settings.port < 1 || settings.port > PortCount || speedIndex(settings.speed) < 0)
        return false;
    return configFile().write(SettingsSection, {{QStringLiteral("Port"), QString::number(settings.port - 1)},
                                                {QStringLiteral("Baud"), QString::number(speedIndex(settings.speed))}});
}

QString defaultDeviceForPort(int port)
{
    if (port < 1 || port > PortCount)
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    struct Range { int first; int last; const char *prefix; };
    static constexpr Range Ranges[] = {{1, 4, "/dev/ttyS"}, {5, 12, "/dev/ttyUSB"}, {13, 20, "/dev/ttyACM"}};
    for (const Range &range : Ranges) {
        if (port >= range.first && port <= range.last)
            return QLatin1String(range.prefix) + QString::number(port - range.first);
    }
    return {};
#endif
}

QString deviceForPort(int port)
{
    if (port < 1 || port > PortCount)
        return {};
    {
        QMutexLocker lock(&dataDirMutex);
        if (const auto overridden = deviceOverrides.constFind(port); overridden != deviceOverrides.cend())
            return *overridden;
    }
    const auto mapped = configFile().value(PortsSection, QStringLiteral("COM%1").arg(port));
    return mapped ? *mapped : defaultDeviceForPort(port);
}

void overrideDeviceForPort(int port, const QString &device)
{
    QMutexLocker lock(&dataDirMutex);
    if (device.isEmpty())
        deviceOverrides.remove(port);
    else
        deviceOverrides.insert(port, device);
}

bool mapPortToDevice(int port, const QString &device)
{
    return configFile().write(PortsSection, QStringLiteral("COM%1").arg(port), device);
}

QString configuredLanguage()
{
    return configFile().read(QStringLiteral("System"), QStringLiteral("Language"), QStringLiteral("english"));
}

} // namespace kestrix
