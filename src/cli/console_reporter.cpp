#include "cli/console_reporter.h"

#include <atomic>
#include <csignal>
#include <cstdio>

namespace kestrix::cli {

namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int)
{
    interrupted = true;
}

void catchOnce(int signal)
{
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // The handler is removed as it runs: a second signal ends the program.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(signal, &action, nullptr);
}

} // namespace

void catchInterrupts()
{
    catchOnce(SIGINT);
    catchOnce(SIGTERM);
}

void printResult(const QString &text)
{
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

void printStatus(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void ConsoleReporter::setLine(int index, const QString &text)
{
    if (index < 0 || index > 2)
        return;
    m_lines[index] = text;
    if (!text.isEmpty())
        printStatus(text);
}

void ConsoleReporter::messageBox(const QString &text, MessageIcon icon)
{
    printStatus(icon == MessageIcon::Error ? QStringLiteral("Error: ") + text : text);
}

bool ConsoleReporter::cancelled() const
{
    return interrupted;
}

} // namespace kestrix::cli
