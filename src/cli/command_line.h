// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One run of kestrix-cli's command line, from its arguments to its exit status. The program's
// main() is this call; the tests make it in their own process, with the output collected.

#include <QStringList>
#include <functional>

namespace kestrix::cli {

// Runs the command `arguments` name (the first is the program's name) and returns the exit
// status. `beforeWork` runs once the command line is understood, before any board work (the
// program catches Ctrl-C there). A trace the run started and the devices its options named end
// with it.
int runCommandLine(const QStringList &arguments, const std::function<void()> &beforeWork = {});

} // namespace kestrix::cli
