#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "app/language.h"
#include "comm/operation.h"

namespace kestrix::cli {

int runCheck(const Options &options)
{
    return withBoard(options, [](Operation &operation, const SerialSettings &) {
        if (operation.CheckCommunication() == QLatin1String("1")) {
            printResult(LookupText(5036));   // "Communication OK."
            return int(Success);
        }
        operation.status().showCheckFailure();
        return int(NoBoard);
    });
}

} // namespace kestrix::cli
