#include "app/operation_runner.h"

#include <QCoreApplication>

namespace kestrix {

// Lives on the worker thread; jobs are queued to it as events, so they run one at a time in
// the order they were started.
class OperationRunner::Worker : public QObject {
};

// Forwards an operation's reports to the runner's signals; message boxes are shown on the
// runner's thread while the worker waits.
class OperationRunner::SignalReporter final : public Reporter {
public:
    explicit SignalReporter(OperationRunner &runner) : m_runner(runner) {}

    void setLine(int index, const QString &text) override { Q_EMIT m_runner.lineChanged(index, text); }
    void progress(int done, int total) override { Q_EMIT m_runner.progressChanged(done, total); }
    bool cancelled() const override { return m_runner.m_cancelled; }
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
    cancel();
    m_thread.quit();
    // A running operation may be waiting for a message box on this thread.
    while (!m_thread.wait(20))
        QCoreApplication::processEvents();
}

void OperationRunner::start(Job job, Done done)
{
    if (m_pending++ == 0)
        Q_EMIT busyChanged(true);
    QMetaObject::invokeMethod(m_worker, [this, job = std::move(job), done = std::move(done)] {
        SignalReporter reporter(*this);
        job(reporter);
        QMetaObject::invokeMethod(this, [this, done] {
            if (done)
                done();
            if (--m_pending == 0)
                Q_EMIT busyChanged(false);
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

} // namespace kestrix
