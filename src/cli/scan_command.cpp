#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/language.h"
#include "comm/port_scan.h"

namespace kestrix::cli {

int runScan(const Options &options)
{
    if (options.port > 0 || !options.device.isEmpty() || options.speed > 0) {
        printStatus(QStringLiteral("scan tries every port and speed; name devices in config.ini [Ports] "
                                   "instead of --port, --device or --speed."));
        return UsageError;
    }
    ConsoleReporter reporter;
    const ScanResult result = scanPorts(readSerialSettings(), reporter);
    if (result.cancelled)
        return Cancelled;
    if (!result.found)
        return NoBoard;
    for (int line = 0; line < 3; ++line) {
        if (!reporter.line(line).isEmpty())
            printResult(reporter.line(line));
    }
    if (!result.saved) {
        printStatus(LookupText(Text::FileOpenError) + u' ' + result.saveError);
        printStatus(QStringLiteral("The port and speed were not stored."));
        return PortFailure;
    }
    return Success;
}

} // namespace kestrix::cli
