#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/config_file.h"

namespace kestrix::cli {

int runConfigPath(const Options &)
{
    printResult(configFilePath());
    return Success;
}

} // namespace kestrix::cli
