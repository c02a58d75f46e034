#include "cli/console_reporter.h"

#include <cstdio>

namespace kestrix::cli {

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

} // namespace kestrix::cli
