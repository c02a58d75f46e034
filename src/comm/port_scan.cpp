#include "comm/port_scan.h"

#include "base/language.h"
#include "base/texts.h"
#include "comm/device_address.h"

#include <QStringList>
#include <algorithm>

namespace kestrix {
namespace {

// "Checking COM3, Baud Rate:  9600": the speed right-aligned in five places.
QString checkingText(const SerialSettings &pair)
{
    return LookupText(Text::Checking) + QStringLiteral(" COM%1, Baud Rate: %2").arg(pair.port).arg(pair.speed, 5);
}

QString connectedText(const SerialSettings &pair)
{
    return LookupText(Text::ConnectedAt) + QStringLiteral(" COM%1, %2bps").arg(pair.port).arg(pair.speed);
}

// "Busy ports: COM3, COM7", or empty when no port was busy.
QString busyText(const std::vector<int> &ports)
{
    QStringList names;
    for (int port : ports)
        names << QStringLiteral("COM%1").arg(port);
    return names.isEmpty() ? QString() : LookupText(Text::BusyPorts) + QLatin1Char(' ') + names.join(QStringLiteral(", "));
}

void noteIfBusy(const SerialChannel &channel, int port, std::vector<int> &busyPorts)
{
    const bool known = !busyPorts.empty() && busyPorts.back() == port;
    if (channel.lastOpenFailure() == OpenFailure::Busy && !known)
        busyPorts.push_back(port);
}

void clearVersionLines(StatusLines &status)
{
    status.clear(1);
    status.clear(2);
}

// The speeds to try on a port: all of them, except behind a raw TCP server, whose line settings
// are its own: there only the configured speed can be meant.
std::vector<int> speedsToTry(const QString &device, int configuredSpeed)
{
    if (parseDevice(device).address.kind == DeviceKind::RawTcp)
        return {configuredSpeed};
    return {std::begin(SpeedTable), std::end(SpeedTable)};
}

QString fixedSpeedText(int port, const QString &device, int speed)
{
    return QStringLiteral("COM%1 %2: the server fixes the line settings; only %3 bps tried.").arg(port).arg(device).arg(speed);
}

ScanResult cancelledScan(Operation &operation, const SerialSettings &settings)
{
    operation.status().showCancelled();
    ScanResult result;
    result.settings = settings;
    result.cancelled = true;
    return result;
}

} // namespace

ScanResult scanPorts(SerialSettings settings, Reporter &reporter, Sleeper &sleeper)
{
    return scanPorts(settings, ScanScope{}, reporter, sleeper);
}

ScanResult scanPorts(SerialSettings settings, const ScanScope &scope, Reporter &reporter, Sleeper &sleeper)
{
    auto scanned = [&scope](int port) { return scope.ports.empty() || std::ranges::find(scope.ports, port) != scope.ports.end(); };
    Operation operation(settings, reporter, StatusForm::mainWindow(), sleeper);
    StatusLines &status = operation.status();
    status.show(0, Text::TestingCommunication);
    clearVersionLines(status);

    const PortDevices devices = PortDevices::fromConfig();
    std::vector<std::vector<int>> speeds;
    int tries = 0;
    for (int port = 1; port <= PortCount; ++port) {
        speeds.push_back(scanned(port) ? speedsToTry(devices.device(port), settings.speed) : std::vector<int>{});
        tries += int(speeds.back().size());
    }
    Exchange &exchange = operation.exchange();
    exchange.setTotalSteps(tries);
    ScanResult result;
    for (int port = 1; port <= PortCount; ++port) {
        if (speeds[port - 1].size() == 1)
            result.notes << fixedSpeedText(port, devices.device(port), settings.speed);
        for (int speed : speeds[port - 1]) {
            const SerialSettings pair{port, speed};
            operation.setSettings(pair);
            status.showText(1, checkingText(pair));
            const CheckResult check = operation.testCommunication();
            if (check == CheckResult::Cancelled || !exchange.step())
                return cancelledScan(operation, settings);
            noteIfBusy(operation.channel(), port, result.busyPorts);
            if (check == CheckResult::Answered) {
                result.found = true;
                result.settings = pair;
            }
        }
    }

    if (!result.found) {
        // Give back what the file says, on top of the last pair tried.
        result.settings = operation.settings();
        readSerialSettings(result.settings);
        status.show(0, Text::CommunicationError);
        status.showText(1, busyText(result.busyPorts));
        status.clear(2);
        return result;
    }
    if (scope.store)
        result.saved = writeSerialSettings(result.settings, &result.saveError);
    operation.setSettings(result.settings);
    status.showText(0, connectedText(result.settings));
    clearVersionLines(status);
    result.versions = operation.ReadVersions();
    return result;
}

} // namespace kestrix
