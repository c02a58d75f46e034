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
};

int usageError(const QString &message)
{
    printStatus(QStringLiteral("kestrix-cli: ") + message);
    printStatus(QStringLiteral("Try \"kestrix-cli --help\"."));
    return UsageError;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    QString error;
    Options options;
    if (!applyDataDirOption(arguments, &error) || !parseOptions(arguments, options, &error))
        return usageError(error);
    if (options.help) {
        printResult(usage());
        return Success;
    }
    if (options.command.isEmpty())
        return usageError(QStringLiteral("no command given"));
    if (!options.traceFile.isEmpty() && !CommTrace::start(options.traceFile, &error))
        return usageError(error);

    LoadLanguage(configuredLanguage());
    for (const Command &command : Commands) {
        if (options.command == QLatin1String(command.name))
            return command.run(options);
    }
    return usageError(QStringLiteral("unknown command %1").arg(options.command));
}
