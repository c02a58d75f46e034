#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "comm/serial_channel.h"

namespace kestrix::cli {
namespace {

int probePort(const SerialSettings &settings)
{
    if (settings.port == 0) {
        printStatus(QStringLiteral("No port is configured: give --port or --device, choose one in the "
                                   "port dialog, or run \"kestrix-cli scan\"."));
        return PortFailure;
    }
    CComm channel;
    if (channel.Open(settings.port, settings.speed) != CComm::Opened) {
        printStatus(channel.lastOpenError());
        return PortFailure;
    }
    channel.Close();
    return Success;
}

} // namespace

int withBoard(const Options &options, const std::function<int(Operation &, const SerialSettings &)> &exchange)
{
    const SerialSettings settings = resolveSettings(options);
    if (const int probe = probePort(settings); probe != Success)
        return probe;
    ConsoleReporter reporter;
    Operation operation(settings, reporter, StatusForm::mainWindow());
    return exchange(operation, settings);
}

} // namespace kestrix::cli
