#pragma once
// Writing a file so that no crash, kill or full disk leaves it half-written, and so that two
// writers of the same file take turns.
//
// The lock ("<path>.lock") is an advisory lock (flock) that the system drops when its holder
// ends, however it ends: a writer killed while holding it blocks nobody, and a lock file left
// behind is simply locked again and removed by the next writer. A file lock of Qt (QLockFile)
// would instead take an empty lock file of a killed writer for a live one until it is 30 s old.
//
// A write goes to ".<name>.XXXXXX.tmp" in the same folder, which gets the original's owner,
// group and mode, is synced and then renamed over the original. Such a temporary file whose
// writer is gone (nobody holds its lock) is removed by the next write of the same file.
//
// Links: when `path` is a symbolic link, the file it names is replaced and the link stays, so a
// config.ini linked to a file of the data folder (or to a file of the link's owner elsewhere)
// keeps working. A link to a file outside the link's folder that belongs to another user than
// the link's owner is refused: it would let that owner have a program run by someone else (root)
// overwrite a file that the owner could not write. A link to a missing file is refused too.
// The link is resolved once: its target's folder is opened without following links, and every
// check and the write itself go through that folder's descriptor, so that a folder swapped for a
// link between the check and the write is never written into.
//
// An existing file that cannot be opened for writing is refused with the file unchanged; run as
// root, a file without any write bit counts as read-only too.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

QT_BEGIN_NAMESPACE
class QLockFile;
QT_END_NAMESPACE

namespace kestrix {

// How long a writer waits for another writer of the same file.
inline constexpr int WriteLockTimeoutMs = 5000;

// Holds the write lock of a file ("<path>.lock") for its lifetime and removes the lock file
// when it ends. Another writer of the same file waits for it up to `timeoutMs`. Do not take
// the lock of one file twice in one process: the second waits for the first.
class FileWriteLock {
public:
    explicit FileWriteLock(const QString &path, int timeoutMs = WriteLockTimeoutMs);
    ~FileWriteLock();
    FileWriteLock(const FileWriteLock &) = delete;
    FileWriteLock &operator=(const FileWriteLock &) = delete;

    bool locked() const;
    // Why the lock could not be taken; empty when it was.
    QString error() const { return m_error; }

private:
    bool acquire(int timeoutMs);

    QString m_lockPath;
    QString m_error;
    int m_fd = -1;
    std::unique_ptr<QLockFile> m_lockFile;   // platforms without flock
};

// How a write treats the file it replaces.
struct WriteOptions {
    // An existing file without its owner's write bit gets that bit first, after the link checks
    // (a file delivered read-only that Save is expected to write), and keeps it. Without this,
    // such a file is refused.
    bool makeWritable = false;
    // The mode of a new file whatever the umask (0600 for a file holding a password); 0: the
    // usual 0666 less the umask. An existing file keeps its own mode.
    unsigned newFileMode = 0;
};

// Why a write of `path` would be refused now, as writeFileAtomically() would put it ("cannot
// write <path>: <reason>"): not a regular file, a folder, a link to a missing file or a refused
// link, read-only, a folder that cannot be written. Empty when the write would go ahead. A
// caller that writes two files asks this for both before writing either; the write itself
// checks again.
QString writeProblem(const QString &path, const WriteOptions &options = {});

// Writes `bytes` to a temporary file in the same folder, then renames it over `path`, keeping
// the original's owner, group and mode (a new file run as root gets the folder's owner and
// group, so that the folder's owner can still write it). On failure the original is untouched,
// no temporary file stays, the reason is put into *error and false is returned.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr,
                         const WriteOptions &options = {});

// What a rewrite makes of the file's bytes (empty for a missing file): the new bytes, or
// nothing to write nothing, with the reason to refuse in `reason` (empty: nothing to do).
using FileChange = std::function<std::optional<QByteArray>(const QByteArray &current, QString &reason)>;

// Reads the file and writes what `change` makes of it, as writeFileAtomically() does, both
// through the one resolution of `path`: the bytes changed are those of the file replaced, even
// when a link or folder on the way is swapped meanwhile. Take the file's write lock around it.
// False, with the reason in *error (change's own reason as it is), when nothing was written
// for a reason; true when written or when `change` had nothing to do.
bool rewriteFileAtomically(const QString &path, const FileChange &change, QString *error = nullptr,
                           const WriteOptions &options = {});

// Lets a write beyond the file size limit (ulimit -f) fail with EFBIG, which the write reports
// with the file's name, instead of ending the program by SIGXFSZ. Both programs call it at start.
void ignoreFileSizeSignal();

} // namespace kestrix
