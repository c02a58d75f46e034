// kestrix-cli compare: the board's parameters against the values upload would send (the
// window's starting values, config.ini [Parameters], then --file), key by key. Reads only.

#include "cli/commands.h"
#include "cli/comparison_output.h"
#include "cli/console_reporter.h"
#include "cli/parameter_settings.h"

#include "params/parameter_compare.h"
#include "params/parameter_download.h"

namespace kestrix::cli {

// Exit: Success when equal, Differs when a key differs, NoBoard when the download was
// incomplete (whatever differs).
int runCompare(const Options &options)
{
    const QString file = options.value(QStringLiteral("file"));
    if (options.has(QStringLiteral("file")) && file.isEmpty())
        return usageErrorOf(QStringLiteral("compare: --file needs a file name"));
    QString error;
    const std::optional<ParameterValues> expected = startingValues(file, &error);
    if (!expected) {
        printStatus(QStringLiteral("The parameter file cannot be read (%1); nothing was compared.").arg(error));
        return PortFailure;
    }
    return withBoard(options, [&expected](Operation &operation, const SerialSettings &) {
        const JobResult<Download> download = operation.run(downloadJob());
        if (!download.ending.ran())
            return exitStatusOf(download.ending.outcome);
        return printComparison(compareParameters(*expected, download.data.update), download.ending);
    });
}

} // namespace kestrix::cli
