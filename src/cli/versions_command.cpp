#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "comm/operation.h"

namespace kestrix::cli {

int runVersions(const Options &options)
{
    const SerialSettings settings = resolveSettings(options);
    if (const int probe = probePort(settings); probe != Success)
        return probe;
    ConsoleReporter reporter;
    Operation operation(settings, reporter, StatusForm::mainWindow());
    const VersionTexts versions = operation.ReadVersions();
    if (versions.software.isEmpty() && versions.hardware.isEmpty()) {
        printStatus(QStringLiteral("The board on COM%1 at %2 bps did not answer the version queries.")
                        .arg(settings.port).arg(settings.speed));
        return NoBoard;
    }
    for (const QString &line : {versions.software, versions.hardware}) {
        if (!line.isEmpty())
            printResult(line);
    }
    return Success;
}

} // namespace kestrix::cli
