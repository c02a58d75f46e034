#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/language.h"
#include "base/texts.h"

namespace kestrix::cli {

int runCheck(const Options &options)
{
    return withBoard(options, [](Operation &operation, const SerialSettings &) {
        switch (operation.CheckCommunication()) {
        case CheckResult::Answered:
            printResult(LookupText(Text::CommunicationOk));
            return int(Success);
        case CheckResult::NoAnswer:
            operation.status().showCheckFailure();
            return int(NoBoard);
        case CheckResult::Cancelled:
            break;
        }
        return int(Cancelled);
    });
}

} // namespace kestrix::cli
