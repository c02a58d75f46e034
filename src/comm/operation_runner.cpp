#include "comm/operation_runner.h"

#include <QCoreApplication>

namespace kestrix {

// Lives on the worker thread; jobs are queued to it as events, so they run one at a time in
// the order they were started.
class OperationRunner::Worker : public QObject {
};

// Forwards one job's reports to the runner's signals; message boxes are shown on the runner's
// thread while the worker waits.
class OperationRunner::SignalReporter final : public Reporter {
public:
    SignalReporter(OperationRunner &runner, int job) : m_runner(runner), m_job(job) {}

    void setLine(int index, const QString &text) override { Q_EMIT m_runner.lineChanged(index, text); }
    void progress(int done, int total) override { Q_EMIT m_runner.progressChanged(done, total); }
    bool cancelled() const override { return m_job < m_runner.m_cancelBelow.load(); }
    void messageBox(const QString &text, MessageIcon icon) override
    {
        OperationRunner *runner = &m_runner;
        QMetaObject::invokeMethod(
            runner,
            [runner, text, icon] {
                if (runner->m_messageBox)
                    runner->m_messageBox(text, icon);
            },
            Qt::BlockingQueuedConnection);
    }

private:
    OperationRunner &m_runner;
    int m_job;
};

OperationRunner::OperationRunner(QObject *parent) : QObject(parent), m_worker(new Worker)
{
    m_thread.setObjectName(QStringLiteral("board operations"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

OperationRunner::~OperationRunner()
{
    // Results of operations that end now reach nobody: their window is going away.
    m_delivering = false;
    cancel();
    m_messageBox = {};
    m_thread.quit();
    // A running operation may be waiting for a message box on this thread.
    while (!m_thread.wait(20))
        QCoreApplication::processEvents();
}

void OperationRunner::cancel()
{
    m_cancelBelow = m_started;
}

void OperationRunner::start(Job job, QObject *context, std::function<void()> done)
{
    if (m_pending++ == 0)
        Q_EMIT busyChanged(true);
    const int number = m_started++;
    QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    QMetaObject::invokeMethod(
        m_worker,
        [this, number, job = std::move(job), guard, hadContext, done = std::move(done)] {
            SignalReporter reporter(*this, number);
            job(reporter);
            QMetaObject::invokeMethod(this, [this, guard, hadContext, done] { finish(guard, hadContext, done); },
                                      Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void OperationRunner::finish(const QPointer<QObject> &context, bool hadContext, const std::function<void()> &done)
{
    if (done && m_delivering && (!hadContext || context))
        done();
    if (--m_pending == 0)
        Q_EMIT busyChanged(false);
}

} // namespace kestrix
