#include "comm/serial_settings.h"

#include "base/config_file.h"
#include "comm/device_address.h"
#include "comm/trace.h"

#include <QFileInfo>

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <limits>
#include <optional>

namespace kestrix {
namespace {

QMutex overridesMutex;
QHash<int, QString> deviceOverrides;

const QString SettingsSection = QStringLiteral("Settings");
const QString PortsSection = QStringLiteral("Ports");
const QString BoardsSection = QStringLiteral("Boards");

// The leading number of a value ("2 ; COM3" is 2); nothing for an absent value.
std::optional<int> decimal(const std::optional<QString> &text)
{
    return text ? leadingNumber(*text) : std::nullopt;
}

bool validPort(int port)
{
    return port >= 1 && port <= PortCount;
}

QString portKey(int port)
{
    return QStringLiteral("COM%1").arg(port);
}

} // namespace

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
    const IniSnapshot config = configFile().snapshot();
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

bool writeSerialSettings(const SerialSettings &settings, QString *error)
{
    if (!validPort(settings.port) || speedIndex(settings.speed) < 0) {
        if (error)
            *error = QStringLiteral("COM%1 at %2 bps is no port and speed to store").arg(settings.port).arg(settings.speed);
        return false;
    }
    return configFile().write(SettingsSection,
                              {{QStringLiteral("Port"), QString::number(settings.port - 1)},
                               {QStringLiteral("Baud"), QString::number(speedIndex(settings.speed))}},
                              error);
}

QString defaultDeviceForPort(int port)
{
    if (!validPort(port))
        return {};
#ifdef Q_OS_WIN
    return portKey(port);
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

PortDevices::PortDevices()
{
    for (int port = 1; port <= PortCount; ++port)
        m_devices[port - 1] = defaultDeviceForPort(port);
}

PortDevices PortDevices::fromConfig()
{
    PortDevices devices;
    const IniSnapshot config = configFile().snapshot();
    for (int port = 1; port <= PortCount; ++port) {
        if (const auto mapped = config.value(PortsSection, portKey(port)))
            devices.setDevice(port, *mapped);
    }
    QMutexLocker lock(&overridesMutex);
    for (auto it = deviceOverrides.cbegin(); it != deviceOverrides.cend(); ++it)
        devices.setDevice(it.key(), it.value());
    return devices;
}

QString PortDevices::device(int port) const
{
    return validPort(port) ? m_devices[port - 1] : QString();
}

void PortDevices::setDevice(int port, const QString &device)
{
    if (validPort(port))
        m_devices[port - 1] = device;
}

QString deviceForPort(int port)
{
    return PortDevices::fromConfig().device(port);
}

void overrideDeviceForPort(int port, const QString &device)
{
    QMutexLocker lock(&overridesMutex);
    if (device.isEmpty())
        deviceOverrides.remove(port);
    else
        deviceOverrides.insert(port, device);
}

void clearDeviceOverrides()
{
    QMutexLocker lock(&overridesMutex);
    deviceOverrides.clear();
}

bool mapPortToDevice(int port, const QString &device, QString *error)
{
    return configFile().write(PortsSection, portKey(port), device, error);
}

QString boardName(int port)
{
    if (!validPort(port))
        return {};
    return configFile().snapshot().value(BoardsSection, portKey(port)).value_or(QString()).trimmed();
}

QString boardLabel(int port)
{
    const QString name = boardName(port);
    return name.isEmpty() ? portKey(port) : CommTrace::printableText(name);
}

std::vector<int> configuredPorts()
{
    const IniSnapshot config = configFile().snapshot();
    std::vector<int> ports;
    for (int port = 1; port <= PortCount; ++port) {
        const QString device = config.value(PortsSection, portKey(port)).value_or(QString()).trimmed();
        if (device.isEmpty())
            continue;
        if (looksLikeNetworkDevice(device) || QFileInfo::exists(device))
            ports.push_back(port);
    }
    return ports;
}

} // namespace kestrix
