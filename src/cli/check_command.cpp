#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "app/language.h"
#include "comm/operation.h"

namespace kestrix::cli {

int runCheck(const Options &options)
{
    const SerialSettings settings = resolveSettings(options);
    if (const int probe = probePort(settings); probe != Success)
        return probe;
    ConsoleReporter reporter;
    Operation operation(settings, reporter, StatusForm::mainWindow());
    if (operation.CheckCommunication() == QLatin1String("1")) {
        printResult(LookupText(5036));   // "Communication OK."
        return Success;
    }
    operation.status().showCheckFailure();
    return NoBoard;
}

} // namespace kestrix::cli
