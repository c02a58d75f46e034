#pragma once
// Runs board operations on one worker thread, one at a time, in the order started, so the
// window keeps painting while an operation waits on the serial line. What an operation says
// reaches the window through signals; message boxes it asks for are shown by the window's
// thread while the operation waits for them to be dismissed.

#include "comm/reporter.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>

namespace kestrix {

class OperationRunner : public QObject {
    Q_OBJECT
public:
    // The job runs on the worker thread and reports through the given Reporter.
    using Job = std::function<void(Reporter &)>;
    // Runs on the window's thread when the job has ended.
    using Done = std::function<void()>;
    // Shows a message box on the window's thread; the operation waits for it.
    using MessageBoxHandler = std::function<void(const QString &, MessageIcon)>;

    explicit OperationRunner(QObject *parent = nullptr);
    ~OperationRunner() override;   // waits for the running operation to end

    void start(Job job, Done done = {});
    bool busy() const { return m_pending > 0; }
    void setMessageBoxHandler(MessageBoxHandler handler) { m_messageBox = std::move(handler); }
    // Asks the running and the queued operations to stop at their next step.
    void cancel() { m_cancelled = true; }

Q_SIGNALS:
    void lineChanged(int index, const QString &text);
    void progressChanged(int done, int total);
    void busyChanged(bool busy);

private:
    class Worker;
    class SignalReporter;

    QThread m_thread;
    Worker *m_worker = nullptr;
    int m_pending = 0;
    std::atomic<bool> m_cancelled{false};
    MessageBoxHandler m_messageBox;
};

} // namespace kestrix
