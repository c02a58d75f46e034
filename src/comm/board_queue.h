#pragma once
// One queue per board. A board's queue runs its jobs on one worker thread, one at a time, in
// the order they were submitted, so the window keeps painting while a job waits on the serial
// line and one board never runs two jobs at once. It holds the session's port and speed of the
// board: every window, dialog and the time-server reply submit to it. What a job says reaches
// the windows through signals; message boxes it asks for are shown by the queue's thread while
// the job waits for them to be dismissed.
//
// The queues belong to the application (BoardQueues), not to a window: a job started by a
// dialog that closes runs to its end, or is cancelled, in the same queue.

#include "comm/board_job.h"
#include "comm/operation.h"
#include "comm/reporter.h"
#include "comm/serial_settings.h"
#include "comm/sleeper.h"

#include <QObject>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <atomic>
#include <functional>
#include <map>
#include <vector>
#include <memory>
#include <mutex>
#include <type_traits>

namespace kestrix {

class BoardQueue : public QObject {
    Q_OBJECT
public:
    // The job runs on the worker thread and reports through the given Reporter.
    using Job = std::function<void(Reporter &)>;
    // Shows a message box on the queue's thread over the job's owner (nullptr when it has gone);
    // the job waits for it.
    using MessageBoxHandler = std::function<void(QObject *owner, const QString &, MessageIcon)>;

    explicit BoardQueue(SerialSettings settings = {}, QObject *parent = nullptr);
    ~BoardQueue() override;   // cancels, then waits for the running job to end

    // The port and speed of this session. They hold until changed, also when they could not be
    // stored in config.ini.
    SerialSettings settings() const;
    void setSettings(const SerialSettings &settings);
    // The pauses of the protocol; tests give a recording sleeper.
    void setSleeper(Sleeper &sleeper) { m_sleeper = &sleeper; }
    Sleeper &sleeper() const { return *m_sleeper; }

    // Runs `job` on the worker. `done` runs on the queue's thread when the job has ended, and
    // only while `context` (the window or dialog that started it) still exists.
    void start(Job job, QObject *context = nullptr, std::function<void()> done = {});

    // Runs `work` in an envelope of the given status form on the queue's port and speed and
    // hands what it returns to `done` while `context` exists.
    template <class Work, class Done>
    void run(StatusForm form, QObject *context, Work work, Done done)
    {
        using Result = std::invoke_result_t<Work &, Operation &>;
        auto result = std::make_shared<Result>();
        start(
            [this, form = std::move(form), work = std::move(work), result](Reporter &reporter) mutable {
                Operation operation(settings(), reporter, form, *m_sleeper);
                *result = work(operation);
                m_lastFrames = operation.channel().framesWritten();
            },
            context, [done = std::move(done), result]() mutable { done(std::as_const(*result)); });
    }

    // Runs a board job and hands its result to `done` while `context` exists.
    template <class Data, class Done>
    void submit(BoardJob<Data> job, QObject *context, Done done)
    {
        const StatusForm form = job.texts.form;
        run(form, context,
            [this, job = std::move(job)](Operation &operation) {
                m_lastReadsOnly = job.texts.readsOnly;
                return operation.run(job);
            },
            std::move(done));
    }

    bool busy() const { return m_pending > 0; }
    // Whether a job started by `owner` is running or waiting.
    bool runs(const QObject *owner) const;
    // The owner is going away while its jobs run: they are cancelled, and how they ended is
    // told by abandonedJobEnded instead of to the owner.
    void abandon(const QObject *owner);
    void setMessageBoxHandler(MessageBoxHandler handler) { m_messageBox = std::move(handler); }

public Q_SLOTS:
    // Asks the running job to stop before its next frame; the waiting ones run as submitted.
    void cancel();
    // Asks the running and the waiting jobs to stop.
    void cancelAll();

Q_SIGNALS:
    // What a job shows; `owner` is the context it was started with (nullptr for none), so each
    // window shows only its own jobs' lines and progress.
    void lineChanged(const QObject *owner, int index, const QString &text);
    void progressChanged(const QObject *owner, int done, int total);
    void busyChanged(bool busy);
    // A job has ended; `ending` is what it showed last in its first line.
    void jobEnded(const QObject *owner, const QString &ending);
    // A job of an abandoned owner has ended; `framesWritten` counts the frames a cancelled job
    // wrote into the board (0 when it ended by itself or only read).
    void abandonedJobEnded(const QObject *owner, const QString &ending, int framesWritten);

private:
    class Worker;
    class SignalReporter;

    struct Ended;
    struct Waiting {
        int number;
        const QObject *owner;
    };
    bool isCancelled(int job) const;
    void finish(const Ended &ended, const std::function<void()> &done);

    QThread m_thread;
    Worker *m_worker = nullptr;
    Sleeper *m_sleeper;
    mutable std::mutex m_mutex;          // guards the settings and the job lists below
    SerialSettings m_settings;
    QList<Waiting> m_jobs;               // the running job first, then the waiting ones
    QSet<int> m_cancelled;
    QSet<const QObject *> m_abandoned;
    std::atomic<int> m_lastFrames{0};    // frames the running job sent inside its envelope
    std::atomic<bool> m_lastReadsOnly{false};   // the running job only reads
    int m_pending = 0;
    int m_started = 0;                   // jobs submitted so far; a job's number is its position
    MessageBoxHandler m_messageBox;
    bool m_delivering = true;
};

// The application's board queues, one per port, and the session's board: the port and speed
// the windows work with. Created on first use and owned by the application object.
class BoardQueues : public QObject {
    Q_OBJECT
public:
    static BoardQueues &instance();

    // The queue of a port (0: no port chosen; its jobs end with a communication error).
    BoardQueue &queue(int port);
    // The queue of the session's board.
    BoardQueue &session() { return queue(m_sessionPort); }
    // Every queue made so far.
    std::vector<BoardQueue *> all() const;
    // Makes `settings` the session's board: its port, with that speed on its queue.
    void setSession(const SerialSettings &settings);

Q_SIGNALS:
    // The session moved to another board's queue.
    void sessionChanged(BoardQueue &queue);

private:
    explicit BoardQueues(QObject *parent);

    std::map<int, BoardQueue *> m_queues;
    int m_sessionPort = 0;
};

} // namespace kestrix
