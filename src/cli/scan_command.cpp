#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/language.h"
#include "comm/port_scan.h"

namespace kestrix::cli {

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
    if (!scope.store) {
        printStatus(QStringLiteral("Not stored: the device was named on the command line."));
        return Success;
    }
    if (!result.saved) {
        printStatus(LookupText(Text::FileOpenError) + u' ' + result.saveError);
        printStatus(QStringLiteral("The port and speed were not stored."));
        return PortFailure;
    }
    return Success;
}

} // namespace kestrix::cli
