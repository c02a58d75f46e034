#include "cli/console_reporter.h"

#include <QStringList>
#include <atomic>
#include <mutex>
#include <csignal>
#include <cstdio>

namespace kestrix::cli {

namespace {

std::atomic<bool> interrupted{false};
std::mutex printMutex;
thread_local QString linePrefix;
QByteArray *collectedOut = nullptr;
QByteArray *collectedErr = nullptr;

void print(std::FILE *stream, const QString &text)
{
    QByteArray bytes;
    if (linePrefix.isEmpty()) {
        bytes = text.toLocal8Bit() + '\n';
    } else {
        for (const QString &line : text.split(u'\n'))
            bytes += (linePrefix + line).toLocal8Bit() + '\n';
    }
    const std::lock_guard lock(printMutex);
    if (QByteArray *collected = stream == stdout ? collectedOut : collectedErr) {
        collected->append(bytes);
        return;
    }
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

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

void resetInterrupt()
{
    interrupted = false;
}

void collectPrinted(QByteArray *out, QByteArray *err)
{
    const std::lock_guard lock(printMutex);
    collectedOut = out;
    collectedErr = err;
}

void printResult(const QString &text)
{
    print(stdout, text);
}

void printStatus(const QString &text)
{
    print(stderr, text);
}

void setLinePrefix(const QString &prefix)
{
    linePrefix = prefix;
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
