#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/language.h"
#include "comm/device_address.h"
#include "comm/trace.h"

#include <QFileInfo>

namespace kestrix::cli {


int runMapPort(const Options &options)
{
    int port = 0;
    QString error;
    if (!parsePortNumber(options.operands[0], port, &error))
        return usageErrorOf(QStringLiteral("map-port: ") + error);
    const QString device = options.operands[1];
    const ParsedDevice parsed = parseDevice(device);
    if (!parsed.ok())
        return usageErrorOf(QStringLiteral("map-port: \"%1\" is no device to store: %2; nothing was stored")
                                .arg(CommTrace::printableText(device), parsed.problem));
    if (!mapPortToDevice(port, device, &error)) {
        printStatus(LookupText(Text::FileOpenError) + u' ' + error);
        printStatus(QStringLiteral("COM%1 is not mapped.").arg(port));
        return PortFailure;
    }
    if (!parsed.address.isNetwork() && !QFileInfo::exists(device))
        printStatus(QStringLiteral("Warning: %1 does not exist (yet).").arg(device));
    printResult(QStringLiteral("COM%1 is %2").arg(port).arg(device));
    return Success;
}

} // namespace kestrix::cli
