#include "cli/commands.h"
#include "cli/console_reporter.h"

namespace kestrix::cli {

int runVersions(const Options &options)
{
    return withBoard(options, [](Operation &operation, const SerialSettings &settings) {
        const VersionTexts versions = operation.ReadVersions();
        if (versions.software.isEmpty() && versions.hardware.isEmpty()) {
            printStatus(QStringLiteral("The board on COM%1 at %2 bps did not answer the version queries.")
                            .arg(settings.port).arg(settings.speed));
            return int(NoBoard);
        }
        for (const QString &line : {versions.software, versions.hardware}) {
            if (!line.isEmpty())
                printResult(line);
        }
        return int(Success);
    });
}

} // namespace kestrix::cli
