#pragma once
// Writing a file so that no crash, kill or full disk leaves it half-written, and so that two
// writers of the same file take turns.

#include <QByteArray>
#include <QString>
#include <memory>

QT_BEGIN_NAMESPACE
class QLockFile;
QT_END_NAMESPACE

namespace kestrix {

// Holds the write lock of a file ("<path>.lock") for its lifetime. Another writer of the same
// file waits for it up to a few seconds.
class FileWriteLock {
public:
    explicit FileWriteLock(const QString &path);
    ~FileWriteLock();
    FileWriteLock(const FileWriteLock &) = delete;
    FileWriteLock &operator=(const FileWriteLock &) = delete;

    bool locked() const;
    // Why the lock could not be taken; empty when it was.
    QString error() const { return m_error; }

private:
    std::unique_ptr<QLockFile> m_lock;
    QString m_error;
};

// Writes `bytes` to a temporary file in the same folder, then renames it over `path`. On
// failure the original is untouched, the reason is put into *error and false is returned.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace kestrix
