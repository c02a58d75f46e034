#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/language.h"
#include "comm/port_scan.h"

namespace kestrix::cli {

namespace {

const QString DeviceNamed = QStringLiteral("the device was named on the command line.");

// Says what became of the port and speed found and gives the exit status: not stored, for the
// reason given; stored; or the store failed.
int storingStatus(const QString &notStoredBecause, bool saved, const QString &saveError)
{
    if (!notStoredBecause.isEmpty()) {
        printStatus(QStringLiteral("Not stored: ") + notStoredBecause);
        return Success;
    }
    if (!saved) {
        printStatus(LookupText(Text::FileOpenError) + u' ' + saveError);
        printStatus(QStringLiteral("The port and speed were not stored."));
        return PortFailure;
    }
    return Success;
}

} // namespace

int runScan(const Options &options)
{
    // --port or --device scans that one port at every speed; a device named here is this run's
    // only, so the pair found is shown, not stored.
    ScanScope scope;
    if (options.port > 0 || !options.device.isEmpty())
        scope.ports = {resolveSettings(options).port};
    scope.store = options.device.isEmpty();
    SerialSettings settings = readSerialSettings();
    if (options.speed > 0)
        settings.speed = options.speed;
    ConsoleReporter reporter;
    const ScanResult result = scanPorts(settings, scope, reporter);
    for (const QString &note : result.notes)
        printStatus(note);
    if (result.cancelled)
        return Cancelled;
    if (!result.found)
        return NoBoard;
    for (int line = 0; line < 3; ++line) {
        if (!reporter.line(line).isEmpty())
            printResult(reporter.line(line));
    }
    return storingStatus(scope.store ? QString() : DeviceNamed, result.saved, result.saveError);
}

namespace {

struct PortScan {
    ScanResult result;
    QStringList lines;   // the board's versions, when one answered
};

void scanOne(const BoardTarget &target, SerialSettings settings, PortScan &scan)
{
    setLinePrefix(target.label + QStringLiteral(": "));
    ConsoleReporter reporter;
    scan.result = scanPorts(settings, ScanScope{{resolveSettings(target.options).port}, false}, reporter);
    for (const QString &note : scan.result.notes)
        printStatus(note);
    for (int line = 0; scan.result.found && line < 3; ++line) {
        if (!reporter.line(line).isEmpty())
            scan.lines << reporter.line(line);
    }
}

} // namespace

int runScanOnBoards(const std::vector<BoardTarget> &targets, const Options &options)
{
    SerialSettings settings = readSerialSettings();
    if (options.speed > 0)
        settings.speed = options.speed;
    std::vector<PortScan> scans(targets.size());
    runSideBySide(targets.size(), [&](size_t i) { scanOne(targets[i], settings, scans[i]); });

    std::vector<SerialSettings> found;
    bool cancelled = false;
    for (size_t i = 0; i < targets.size(); ++i) {
        cancelled = cancelled || scans[i].result.cancelled;
        if (!scans[i].result.found)
            continue;
        found.push_back(scans[i].result.settings);
        printResult(QStringLiteral("%1: a board at %2 bps").arg(targets[i].label).arg(scans[i].result.settings.speed));
        for (const QString &line : scans[i].lines)
            printResult(QStringLiteral("%1: %2").arg(targets[i].label, line));
    }
    if (cancelled)
        return Cancelled;
    printResult(QStringLiteral("%1 of %2 ports have a board.").arg(found.size()).arg(targets.size()));
    if (found.empty())
        return NoBoard;
    // One board found on ports of config.ini becomes the windows' port and speed, as a scan of
    // every port does; of several, none is chosen for the user.
    QString notStoredBecause;
    if (found.size() > 1)
        notStoredBecause = QStringLiteral("several boards answered; choose one with --port.");
    else if (!options.devices.isEmpty())
        notStoredBecause = DeviceNamed;
    QString error;
    const bool saved = notStoredBecause.isEmpty() && writeSerialSettings(found.front(), &error);
    return storingStatus(notStoredBecause, saved, error);
}

} // namespace kestrix::cli
