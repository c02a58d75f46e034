#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/ini_file.h"
#include "base/language.h"
#include "comm/trace.h"

#include <QFileInfo>
#include <algorithm>

namespace kestrix::cli {

namespace {

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

bool quoted(const QString &device)
{
    return device.size() >= 2 && (device.front() == '"' || device.front() == '\'') && device.back() == device.front();
}

// A device that config.ini would give back otherwise than it was typed: cut, trimmed, unquoted,
// or empty, which reads as the platform's default. Such a device is refused before anything is
// stored.
struct DeviceRule {
    bool (*breaks)(const QString &device);
    const char *reason;
};

constexpr DeviceRule DeviceRules[] = {
    {[](const QString &d) { return d.isEmpty(); }, "the device is empty"},
    {[](const QString &d) { return d.size() > IniFile::MaxValueLength; }, "the device is longer than 199 characters"},
    {[](const QString &d) { return std::ranges::any_of(d, isControl); }, "the device contains a control character"},
    {[](const QString &d) { return d != d.trimmed(); }, "the device begins or ends with white space"},
    {quoted, "the device is enclosed in quotes"},
};

} // namespace

int runMapPort(const Options &options)
{
    int port = 0;
    QString error;
    if (!parsePortNumber(options.operands[0], port, &error))
        return usageErrorOf(QStringLiteral("map-port: ") + error);
    const QString device = options.operands[1];
    for (const DeviceRule &rule : DeviceRules) {
        if (rule.breaks(device))
            return usageErrorOf(QStringLiteral("map-port: \"%1\" would not read back as written: %2; nothing was stored")
                                    .arg(CommTrace::printableText(device), QLatin1String(rule.reason)));
    }
    if (!mapPortToDevice(port, device, &error)) {
        printStatus(LookupText(Text::FileOpenError) + u' ' + error);
        printStatus(QStringLiteral("COM%1 is not mapped.").arg(port));
        return PortFailure;
    }
    if (!QFileInfo::exists(device))
        printStatus(QStringLiteral("Warning: %1 does not exist (yet).").arg(device));
    printResult(QStringLiteral("COM%1 is %2").arg(port).arg(device));
    return Success;
}

} // namespace kestrix::cli
