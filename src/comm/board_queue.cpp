#include "comm/board_queue.h"

#include <QCoreApplication>
#include <mutex>

namespace kestrix {

// Lives on the worker thread; jobs are queued to it as events, so they run one at a time in
// the order they were submitted.
class BoardQueue::Worker : public QObject {
};

// How one job ended, handed from the worker to the queue's thread.
struct BoardQueue::Ended {
    int number;
    QPointer<QObject> context;
    const QObject *owner;
    QString ending;
    int framesSent;
    bool cancelled;
    bool readsOnly;
};

// Forwards one job's reports to the queue's signals; message boxes are shown on the queue's
// thread while the worker waits.
class BoardQueue::SignalReporter final : public Reporter {
public:
    SignalReporter(BoardQueue &queue, int job, QPointer<QObject> context)
        : m_queue(queue), m_job(job), m_owner(context.data()), m_context(std::move(context))
    {
    }

    void setLine(int index, const QString &text) override
    {
        if (index == 0)
            m_firstLine = text;
        Q_EMIT m_queue.lineChanged(m_owner, index, text);
    }
    const QString &firstLine() const { return m_firstLine; }
    void progress(int done, int total) override { Q_EMIT m_queue.progressChanged(m_owner, done, total); }
    bool cancelled() const override { return m_queue.isCancelled(m_job); }
    void messageBox(const QString &text, MessageIcon icon) override
    {
        BoardQueue *queue = &m_queue;
        QMetaObject::invokeMethod(
            queue,
            [queue, context = m_context, text, icon] {
                if (queue->m_messageBox)
                    queue->m_messageBox(context.data(), text, icon);
            },
            Qt::BlockingQueuedConnection);
    }

private:
    BoardQueue &m_queue;
    int m_job;
    const QObject *m_owner;
    QPointer<QObject> m_context;
    QString m_firstLine;
};

BoardQueue::BoardQueue(SerialSettings settings, QObject *parent)
    : QObject(parent), m_worker(new Worker), m_sleeper(&defaultSleeper()), m_settings(settings)
{
    m_thread.setObjectName(QStringLiteral("board jobs"));
    m_worker->moveToThread(&m_thread);
    m_thread.start();
}

BoardQueue::~BoardQueue()
{
    // Results of jobs that end now reach nobody: the application is going away.
    m_delivering = false;
    cancelAll();
    m_messageBox = {};
    m_thread.quit();
    // A running job may be waiting for a message box on this thread.
    while (!m_thread.wait(20))
        QCoreApplication::processEvents();
    // Its thread has ended: nothing runs on it any more. A deferred delete would not come
    // while the application itself is being taken down.
    delete m_worker;
}

SerialSettings BoardQueue::settings() const
{
    std::lock_guard lock(m_mutex);
    return m_settings;
}

void BoardQueue::setSettings(const SerialSettings &settings)
{
    std::lock_guard lock(m_mutex);
    m_settings = settings;
}

bool BoardQueue::isCancelled(int job) const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled.contains(job);
}

void BoardQueue::cancel()
{
    std::lock_guard lock(m_mutex);
    if (!m_jobs.isEmpty())
        m_cancelled.insert(m_jobs.first().number);
}

void BoardQueue::cancelAll()
{
    std::lock_guard lock(m_mutex);
    for (const Waiting &job : std::as_const(m_jobs))
        m_cancelled.insert(job.number);
}

void BoardQueue::abandon(const QObject *owner)
{
    std::lock_guard lock(m_mutex);
    for (const Waiting &job : std::as_const(m_jobs)) {
        if (job.owner == owner)
            m_cancelled.insert(job.number);
    }
    m_abandoned.insert(owner);
}

bool BoardQueue::runs(const QObject *owner) const
{
    std::lock_guard lock(m_mutex);
    return std::any_of(m_jobs.cbegin(), m_jobs.cend(), [owner](const Waiting &job) { return job.owner == owner; });
}

void BoardQueue::start(Job job, QObject *context, std::function<void()> done)
{
    const int number = m_started++;
    {
        std::lock_guard lock(m_mutex);
        m_jobs.append({number, context});
        m_abandoned.remove(context);
    }
    if (m_pending++ == 0)
        Q_EMIT busyChanged(true);
    Ended ended{number, context, context, {}, 0, false, false};
    QMetaObject::invokeMethod(
        m_worker,
        [this, ended, job = std::move(job), done = std::move(done)]() mutable {
            SignalReporter reporter(*this, ended.number, ended.context);
            m_lastFrames = 0;
            m_lastReadsOnly = false;
            job(reporter);
            ended.readsOnly = m_lastReadsOnly;
            ended.ending = reporter.firstLine();
            ended.framesSent = m_lastFrames;
            ended.cancelled = isCancelled(ended.number);
            QMetaObject::invokeMethod(this, [this, ended, done] { finish(ended, done); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void BoardQueue::finish(const Ended &ended, const std::function<void()> &done)
{
    bool abandoned = false;
    {
        std::lock_guard lock(m_mutex);
        m_jobs.removeIf([&ended](const Waiting &job) { return job.number == ended.number; });
        m_cancelled.remove(ended.number);
        abandoned = ended.owner && m_abandoned.contains(ended.owner);
    }
    const bool hadContext = ended.owner != nullptr;
    if (done && m_delivering && !abandoned && (!hadContext || ended.context))
        done();
    if (abandoned)
        Q_EMIT abandonedJobEnded(ended.owner, ended.ending, ended.cancelled && !ended.readsOnly ? ended.framesSent : 0);
    Q_EMIT jobEnded(ended.owner, ended.ending);
    if (--m_pending == 0)
        Q_EMIT busyChanged(false);
}

BoardQueues::BoardQueues(QObject *parent) : QObject(parent) {}

BoardQueues &BoardQueues::instance()
{
    // Owned by the application object, so the workers end before Qt does.
    static QPointer<BoardQueues> queues;
    if (!queues)
        queues = new BoardQueues(QCoreApplication::instance());
    return *queues;
}

BoardQueue &BoardQueues::queue(int port)
{
    BoardQueue *&queue = m_queues[port];
    if (!queue)
        queue = new BoardQueue(SerialSettings{port, SerialSettings{}.speed}, this);
    return *queue;
}

std::vector<BoardQueue *> BoardQueues::all() const
{
    std::vector<BoardQueue *> queues;
    for (const auto &[port, queue] : m_queues)
        queues.push_back(queue);
    return queues;
}

void BoardQueues::setSession(const SerialSettings &settings)
{
    const bool moved = settings.port != m_sessionPort;
    m_sessionPort = settings.port;
    queue(settings.port).setSettings(settings);
    if (moved)
        Q_EMIT sessionChanged(session());
}

} // namespace kestrix
