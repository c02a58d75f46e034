// kestrix-cli: the utility's board operations from the command line.

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "app/config_file.h"
#include "app/language.h"
#include "comm/trace.h"

#include <QCoreApplication>

using namespace kestrix;
using namespace kestrix::cli;

namespace {

struct Command {
    const char *name;
    int (*run)(const Options &);
};

constexpr Command Commands[] = {
    {"check", runCheck},
    {"versions", runVersions},
    {"scan", runScan},
    {"map-port", runMapPort},
    {"config-path", runConfigPath},
};

} // namespace

int kestrix::cli::usageErrorOf(const QString &message)
{
    printStatus(QStringLiteral("kestrix-cli: ") + message);
    printStatus(QStringLiteral("Try \"kestrix-cli --help\"."));
    return UsageError;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    QString error;
    Options options;
    if (!applyDataDirOption(arguments, &error) || !parseOptions(arguments, options, &error))
        return usageErrorOf(error);
    if (options.help) {
        printResult(usage());
        return Success;
    }
    if (options.command.isEmpty())
        return usageErrorOf(QStringLiteral("no command given"));
    if (!options.traceFile.isEmpty() && !CommTrace::start(options.traceFile, &error))
        return usageErrorOf(error);

    LoadLanguage(configuredLanguage());
    for (const Command &command : Commands) {
        if (options.command != QLatin1String(command.name))
            continue;
        if (!options.operands.isEmpty() && command.run != runMapPort)
            return usageErrorOf(QStringLiteral("unexpected argument %1").arg(options.operands.first()));
        return command.run(options);
    }
    return usageErrorOf(QStringLiteral("unknown command %1").arg(options.command));
}
