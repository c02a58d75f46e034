#pragma once
// A board job: the one shape of every board operation. A job names its status texts and the
// status form of the window that shows it, and has a body that runs its frames through the
// exchange and fills the job's data. The envelope (Operation) runs the body and then chooses
// the job's one ending: done, incomplete with what did not answer, failed, or cancelled. A job
// never shows a success text for work that did not happen.

#include "base/texts.h"
#include "comm/exchange.h"
#include "comm/reporter.h"

#include <QString>
#include <functional>
#include <variant>

namespace kestrix {

enum class Outcome {
    Completed,            // every frame went out and every read was answered
    Incomplete,           // every frame went out, some reads were not answered
    CommunicationFailed,  // the board did not answer the communication test
    PortError,            // the port could not be opened after a good check
    BoardLost,            // a write failed and the port could not be opened again
    Cancelled,            // stopped before its next frame; nothing more was sent or stored
};

struct JobTexts {
    TextId progress;     // shown while the frames go out, e.g. "Uploading Times ..."
    TextId completion;   // every frame went out and every read answered, e.g. "Times Uploaded."
    TextId incomplete;   // reads did not answer, %1 how many; none for a job that only writes
    StatusForm form = StatusForm::mainWindow();
    bool preambleAgain = true;           // send the preamble once more before opening
    bool goOnAfterFailedCheck = false;   // send the frames even when the check failed (PC time)
    bool readsOnly = false;              // a download: a cancel leaves the board as it was
};

// How a job ended, whatever its data.
struct JobEnding {
    Outcome outcome = Outcome::Completed;
    int unanswered = 0;   // what did not answer, in the job's own unit (registers, variables)
    int framesSent = 0;   // frames written inside the envelope
    QString text;         // the one ending text the status showed

    bool completed() const { return outcome == Outcome::Completed; }
    // The frames went out to a board that stayed: what was read is worth keeping.
    bool ran() const { return outcome == Outcome::Completed || outcome == Outcome::Incomplete; }
};

// A job without data of its own: an upload, a command.
using NoData = std::monostate;

template <class Data>
struct JobResult {
    JobEnding ending;
    Data data{};
};

template <class Data>
struct BoardJob {
    JobTexts texts;
    // Runs the frames on the open channel and fills the data; counts what did not answer with
    // Exchange::noteUnanswered.
    std::function<void(Exchange &, Data &)> body;
    // The completion text from the data, when the fixed one does not say enough.
    std::function<QString(const Data &)> completionText;
    Data start{};   // the data the body starts from
};

} // namespace kestrix
