#pragma once
// Shows an operation's status lines and message boxes on standard error.

#include "comm/reporter.h"

namespace kestrix::cli {

class ConsoleReporter final : public Reporter {
public:
    void setLine(int index, const QString &text) override;
    void messageBox(const QString &text, MessageIcon icon) override;

    QString line(int index) const { return m_lines[index]; }

private:
    QString m_lines[3];
};

void printResult(const QString &text);   // standard output
void printStatus(const QString &text);   // standard error

} // namespace kestrix::cli
