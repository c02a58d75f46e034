#pragma once
// Shows an operation's status lines and message boxes on standard error; Ctrl-C cancels.

#include "comm/reporter.h"

namespace kestrix::cli {

class ConsoleReporter final : public Reporter {
public:
    void setLine(int index, const QString &text) override;
    void messageBox(const QString &text, MessageIcon icon) override;
    // True once Ctrl-C (or SIGTERM) arrived; see catchInterrupts().
    bool cancelled() const override;

    QString line(int index) const { return m_lines[index]; }

private:
    QString m_lines[3];
};

// From now on the first Ctrl-C or SIGTERM cancels the running operation before its next frame;
// a second one ends the program at once.
void catchInterrupts();
// Forgets a Ctrl-C, before the next command line.
void resetInterrupt();

// Each line printed starts with the thread's prefix: the board's name when several boards are
// served at once ("COM3: "), so that their interleaved lines stay readable. Lines are printed
// whole, never mixed with another thread's.
void printResult(const QString &text);   // standard output
void printStatus(const QString &text);   // standard error
void setLinePrefix(const QString &prefix);   // for the calling thread
// From now on printed lines are appended to `out` and `err` instead of the standard streams;
// both null: the streams again. For callers that run commands in their own process.
void collectPrinted(QByteArray *out, QByteArray *err);

} // namespace kestrix::cli
