#pragma once
// How a board operation shows what it does: status lines, message boxes and progress.
// Operations take a Reporter and never touch widgets; the window behind it decides how the
// texts are drawn and on which thread.

#include "base/texts.h"

#include <QString>
#include <utility>
#include <vector>

namespace kestrix {

enum class MessageIcon { None, Information, Warning, Error };

class Reporter {
public:
    virtual ~Reporter() = default;
    // Line 0, 1 or 2 of the active window's status area.
    virtual void setLine(int index, const QString &text) = 0;
    // Shows a message box and returns when it is dismissed.
    virtual void messageBox(const QString &text, MessageIcon icon) = 0;
    // How far the operation is: `done` of `total` steps.
    virtual void progress(int done, int total) { (void)done; (void)total; }
    // True once the operation is to stop (Cancel, the window that started it closing, Ctrl-C on
    // the command line): no further frame goes out and nothing more is stored.
    virtual bool cancelled() const { return false; }
};

// A Reporter that keeps everything it is told; used by the command line and by tests.
class RecordingReporter : public Reporter {
public:
    struct Box { QString text; MessageIcon icon; };

    void setLine(int index, const QString &text) override;
    void messageBox(const QString &text, MessageIcon icon) override;
    void progress(int done, int total) override;
    // Cancelled once `cancelAtStep` steps have been reported (never while it is negative).
    bool cancelled() const override { return cancelAtStep >= 0 && progressDone >= cancelAtStep; }

    int cancelAtStep = -1;
    QString lines[3];
    std::vector<QString> history;   // every line change as "<index>: <text>"
    std::vector<Box> boxes;
    int progressDone = 0;
    int progressTotal = 0;
};

// The two forms of the status area. The main window has three message lines; a secondary
// dialog has one line reading "Status: " and a message, and its own text for a failed check.
struct StatusForm {
    bool singleLine = false;
    std::vector<TextId> failureTexts;   // shown on a failed communication check

    static StatusForm mainWindow();
    static StatusForm dialog(std::vector<TextId> failureTexts);
};

// Puts texts, by number, into the status area of the given form.
class StatusLines {
public:
    StatusLines(Reporter &reporter, StatusForm form);

    void show(int line, TextId text);
    void showText(int line, const QString &text);
    void clear(int line);
    // The form's failure texts, then the detail, if any: in the line after them in the main
    // window, after them in a dialog's single line.
    void showCheckFailure();
    // What else is known about a failed check (who else has the port open); empty for nothing.
    void setCheckFailureDetail(QString detail) { m_failureDetail = std::move(detail); }
    // "Operation cancelled." in the first line, the others cleared.
    void showCancelled();
    Reporter &reporter() { return m_reporter; }
    const StatusForm &form() const { return m_form; }

private:
    Reporter &m_reporter;
    StatusForm m_form;
    QString m_failureDetail;
};

} // namespace kestrix
