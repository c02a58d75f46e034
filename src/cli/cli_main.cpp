// SPDX-License-Identifier: GPL-3.0-or-later
// kestrix-cli: the utility's board operations from the command line.

#include "cli/command_line.h"
#include "cli/console_reporter.h"

#include "base/atomic_file.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    kestrix::ignoreFileSizeSignal();
    return kestrix::cli::runCommandLine(app.arguments(), kestrix::cli::catchInterrupts);
}
