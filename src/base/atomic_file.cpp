#include "base/atomic_file.h"

#include <QLockFile>
#include <QSaveFile>

namespace kestrix {

namespace {

// Waits this long for another writer of the same file.
constexpr int WriteLockTimeoutMs = 5000;

} // namespace

FileWriteLock::FileWriteLock(const QString &path)
    : m_lock(std::make_unique<QLockFile>(path + QStringLiteral(".lock")))
{
    if (!m_lock->tryLock(WriteLockTimeoutMs))
        m_error = QStringLiteral("%1 is being written by another program").arg(path);
}

FileWriteLock::~FileWriteLock() = default;

bool FileWriteLock::locked() const
{
    return m_lock->isLocked();
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    const auto fail = [&] {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    if (file.write(bytes) != bytes.size())
        return fail();
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace kestrix
