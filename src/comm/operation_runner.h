#pragma once
// Runs board operations on one worker thread, one at a time, in the order started, so the
// window keeps painting while an operation waits on the serial line. What an operation says
// reaches the window through signals; message boxes it asks for are shown by the window's
// thread while the operation waits for them to be dismissed.

#include "comm/reporter.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>

namespace kestrix {

class OperationRunner : public QObject {
    Q_OBJECT
public:
    // The job runs on the worker thread and reports through the given Reporter.
    using Job = std::function<void(Reporter &)>;
    // Shows a message box on the window's thread; the operation waits for it.
    using MessageBoxHandler = std::function<void(const QString &, MessageIcon)>;

    explicit OperationRunner(QObject *parent = nullptr);
    ~OperationRunner() override;   // cancels, then waits for the running operation to end

    // Runs `job` on the worker. `done` runs on the runner's thread when the job has ended, and
    // only while `context` (the window or dialog that started it) still exists.
    void start(Job job, QObject *context = nullptr, std::function<void()> done = {});

    // Runs `job`, which returns a result, and hands the result to `done` while `context` exists.
    template <class Work, class Done>
    void run(QObject *context, Work job, Done done)
    {
        using Result = std::invoke_result_t<Work &, Reporter &>;
        auto result = std::make_shared<Result>();
        start([job = std::move(job), result](Reporter &reporter) mutable { *result = job(reporter); }, context,
              [done = std::move(done), result]() mutable { done(std::as_const(*result)); });
    }

    bool busy() const { return m_pending > 0; }
    void setMessageBoxHandler(MessageBoxHandler handler) { m_messageBox = std::move(handler); }

public Q_SLOTS:
    // Asks the running and the queued operations to stop before their next frame. Operations
    // started afterwards run normally.
    void cancel();

Q_SIGNALS:
    void lineChanged(int index, const QString &text);
    void progressChanged(int done, int total);
    void busyChanged(bool busy);

private:
    class Worker;
    class SignalReporter;

    void finish(const QPointer<QObject> &context, bool hadContext, const std::function<void()> &done);

    QThread m_thread;
    Worker *m_worker = nullptr;
    int m_pending = 0;
    int m_started = 0;                  // jobs started so far; a job's number is its position
    std::atomic<int> m_cancelBelow{0};  // jobs numbered below this are cancelled
    MessageBoxHandler m_messageBox;
    bool m_delivering = true;
};

} // namespace kestrix
