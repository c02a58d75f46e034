#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "comm/serial_channel.h"

namespace kestrix::cli {

int withBoard(const Options &options, const std::function<int(Operation &, const SerialSettings &)> &exchange)
{
    const SerialSettings settings = resolveSettings(options);
    if (settings.port == 0) {
        // An unreadable config.ini is not a missing setting: say which file and why.
        const QString readError = configReadError();
        printStatus(!readError.isEmpty() ? readError
                                         : QStringLiteral("No port is configured: give --port or --device, choose "
                                                          "one in the port dialog, or run \"kestrix-cli scan\"."));
        return PortFailure;
    }
    ConsoleReporter reporter;
    Operation operation(settings, reporter, StatusForm::mainWindow());
    const int status = exchange(operation, settings);
    noteBoardEndings(operation.endings());
    if (operation.cancelled()) {
        // An envelope has said so already; a bare check or query has not.
        if (reporter.line(0) != LookupText(Text::OperationCancelled))
            operation.status().showCancelled();
        return Cancelled;
    }
    // The reason the port could not be opened, naming the device.
    if (operation.channel().lastOpenFailure() != OpenFailure::None && !operation.channel().lost()) {
        printStatus(operation.channel().lastOpenError());
        return PortFailure;
    }
    return status;
}

int exitStatusOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Completed: return Success;
    case Outcome::Incomplete: return NoBoard;
    case Outcome::CommunicationFailed: return NoBoard;
    case Outcome::BoardLost: return NoBoard;
    case Outcome::PortError: return PortFailure;
    case Outcome::Cancelled: return Cancelled;
    }
    return NoBoard;
}

} // namespace kestrix::cli
