#include "base/atomic_file.h"

#include "base/file_read.h"

#include <QLockFile>
#include <csignal>

#ifdef Q_OS_UNIX
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <optional>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#else
#include <QSaveFile>
#endif

namespace kestrix {
namespace {

QString cannotWrite(const QString &path, const QString &reason)
{
    return QStringLiteral("cannot write %1: %2").arg(path, reason);
}

QString busy(const QString &path)
{
    return cannotWrite(path, QStringLiteral("it is being written by another program"));
}

#ifdef Q_OS_UNIX

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    Descriptor(Descriptor &&other) noexcept : m_fd(other.release()) {}
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        if (this != &other) {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = other.release();
        }
        return *this;
    }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

constexpr int TagLength = 6;
const QByteArray TemporarySuffix = QByteArrayLiteral(".tmp");

QString systemError(int number)
{
    return QString::fromLocal8Bit(std::strerror(number));
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Takes the exclusive lock of `fd`, trying again until `deadline`. Returns 0 or the errno.
int lockUntil(int fd, const QDeadlineTimer &deadline)
{
    unsigned long pauseMs = 1;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return 0;
        const int failure = errno;
        if (failure == EINTR)
            continue;
        if (failure != EWOULDBLOCK || deadline.hasExpired())
            return failure;
        QThread::msleep(pauseMs);
        pauseMs = std::min(pauseMs * 2, 20ul);
    }
}

// Whether the open file `fd` still has the name `path`: a holder removes its lock file as it
// ends, and a lock on a removed file locks nothing.
bool stillNamed(int fd, const QByteArray &path)
{
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &named) == 0 && sameFile(opened, named);
}

bool isInside(const QString &file, const QString &folder)
{
    return QFileInfo(file).absolutePath() == folder || file.startsWith(folder + QLatin1Char('/'));
}

#ifdef O_PATH
constexpr int PassThrough = O_PATH;   // needs only the right to pass through, not to list
#else
constexpr int PassThrough = O_RDONLY;
#endif

// Opens the folder at the resolved path `folder` one name at a time without following links:
// a folder swapped for a link since the path was resolved is refused, not followed.
int openFolder(const QString &folder, QString &reason)
{
    const QStringList names = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    Descriptor current(::open("/", (names.isEmpty() ? O_RDONLY : PassThrough) | O_DIRECTORY | O_CLOEXEC));
    for (qsizetype i = 0; current.valid() && i < names.size(); ++i) {
        const int access = i + 1 == names.size() ? O_RDONLY : PassThrough;
        current = Descriptor(::openat(current.get(), native(names[i]).constData(),
                                      access | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!current.valid())
        reason = QStringLiteral("cannot open the folder %1: %2").arg(folder, systemError(errno));
    return current.release();
}

// The file a write replaces, reached through its folder's descriptor. For a link that leads
// out of its own folder, the user whose file it must be.
struct Target {
    Descriptor folder;
    QString folderPath;
    QByteArray name;
    QString path;                 // for messages
    QString linkFolder;           // the link's folder, when `owner` is set
    std::optional<uid_t> owner;
};

// Resolves the link `name` in `linkFolder` (owned by `linkOwner`) to the file it names.
bool followLink(const Target &link, uid_t linkOwner, const struct stat &named, Target &target, QString &reason)
{
    const QFileInfo info(link.path);
    const QString resolved = info.canonicalFilePath();   // the whole chain of links
    struct stat again {};
    if (resolved.isEmpty()) {
        reason = QStringLiteral("it is a link to %1, which does not exist").arg(info.symLinkTarget());
        return false;
    }
    if (::fstatat(link.folder.get(), link.name.constData(), &again, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(named, again)) {
        reason = QStringLiteral("the link changed while it was being followed");
        return false;
    }
    const QFileInfo file(resolved);
    target.folderPath = file.absolutePath();
    target.folder = Descriptor(openFolder(target.folderPath, reason));
    target.name = native(file.fileName());
    target.path = resolved;
    if (!isInside(resolved, link.folderPath)) {
        target.linkFolder = link.folderPath;
        target.owner = linkOwner;
    }
    return target.folder.valid();
}

// The file that a write of `path` replaces: `path` itself or, for a link, the file it names.
bool findTarget(const QString &path, Target &target, QString &reason)
{
    const QFileInfo info(path);
    Target own;
    own.folderPath = QDir(info.absolutePath()).canonicalPath();
    if (own.folderPath.isEmpty()) {
        reason = QStringLiteral("cannot open the folder %1: %2").arg(info.absolutePath(), systemError(ENOENT));
        return false;
    }
    own.folder = Descriptor(openFolder(own.folderPath, reason));
    own.name = native(info.fileName());
    own.path = own.folderPath + QLatin1Char('/') + info.fileName();
    if (!own.folder.valid())
        return false;
    struct stat named {};
    if (::fstatat(own.folder.get(), own.name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(named.st_mode))
        return followLink(own, named.st_uid, named, target, reason);
    target = std::move(own);
    return true;
}

// Owner, group and mode the replacement gets.
struct Ownership {
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
    bool existing = false;   // false: a new file, with `mode` or else the usual 0666 less the umask
};

bool isRoot()
{
    return ::geteuid() == 0;
}

// Gives an existing file its owner's write bit through a descriptor of the very file checked.
void makeWritable(const Target &target, struct stat &found)
{
    Descriptor fd(::openat(target.folder.get(), target.name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened {};
    if (fd.valid() && ::fstat(fd.get(), &opened) == 0 && sameFile(opened, found)
        && ::fchmod(fd.get(), (opened.st_mode & 07777) | S_IWUSR) == 0)
        found.st_mode |= S_IWUSR;
}

// Whether the existing file may be written: it can be opened for writing and, run as root
// (who can open anything), has a write bit at all.
bool writable(const Target &target, const struct stat &found, QString &reason)
{
    if ((found.st_mode & 0222) == 0) {
        reason = QStringLiteral("it is read-only");
        return false;
    }
    Descriptor fd(::openat(target.folder.get(), target.name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid())
        reason = systemError(errno);
    return fd.valid();
}

// What the file found there is, and whether a write may replace it.
bool checkExisting(const Target &target, struct stat &found, const WriteOptions &options, bool apply, QString &reason)
{
    if (S_ISDIR(found.st_mode)) {
        reason = QStringLiteral("it is a folder, not a regular file");
        return false;
    }
    if (!S_ISREG(found.st_mode)) {
        reason = QStringLiteral("it is not a regular file");
        return false;
    }
    if (target.owner && found.st_uid != *target.owner) {
        reason = QStringLiteral("it is a link to %1, which lies outside %2 and belongs to another user")
                     .arg(target.path, target.linkFolder);
        return false;
    }
    const bool mayChangeMode = isRoot() || found.st_uid == ::geteuid();
    if (options.makeWritable && !(found.st_mode & S_IWUSR)) {
        if (!apply)
            return mayChangeMode || writable(target, found, reason);
        makeWritable(target, found);
    }
    return writable(target, found, reason);
}

// Checks the file a write replaces through its folder's descriptor (what it is, whose it is,
// whether it and its folder may be written), making it writable first when asked and `apply`
// is set, and gives the owner, group and mode of its replacement.
bool checkTarget(const Target &target, const WriteOptions &options, bool apply, Ownership &result, QString &reason)
{
    struct stat found {};
    if (::fstatat(target.folder.get(), target.name.constData(), &found, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!checkExisting(target, found, options, apply, reason))
            return false;
        result = {found.st_uid, found.st_gid, mode_t(found.st_mode & 07777), true};
    } else if (errno != ENOENT || target.owner || ::fstat(target.folder.get(), &found) != 0) {
        reason = target.owner ? QStringLiteral("it is a link to %1, which does not exist").arg(target.path)
                              : systemError(errno);
        return false;
    } else {
        result = {found.st_uid, found.st_gid, mode_t(options.newFileMode & 07777), false};
    }
    if (::faccessat(target.folder.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        reason = QStringLiteral("the folder %1 cannot be written: %2").arg(target.folderPath, systemError(errno));
        return false;
    }
    return true;
}

// Gives the temporary file the original's owner, group and mode. Run as root, a new file gets
// the folder's owner and group. An ordinary user cannot give a file away: the replacement is
// then the user's, with the original's group when the user belongs to it.
bool applyOwnership(int fd, const Ownership &ownership, QString &reason)
{
    const bool root = isRoot();
    if ((ownership.existing || root) && ::fchown(fd, ownership.owner, ownership.group) != 0) {
        if (root) {
            reason = QStringLiteral("cannot give the new file its owner: %1").arg(systemError(errno));
            return false;
        }
        if (::fchown(fd, uid_t(-1), ownership.group) != 0) {
            // Not a member of the original's group either: the replacement keeps the user's group.
        }
    }
    if (ownership.mode != 0 && ::fchmod(fd, ownership.mode) != 0) {
        reason = QStringLiteral("cannot give the new file its mode: %1").arg(systemError(errno));
        return false;
    }
    return true;
}

QByteArray randomTag()
{
    static constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray tag(TagLength, '0');
    for (char &letter : tag)
        letter = Letters[QRandomGenerator::global()->bounded(int(sizeof Letters) - 1)];
    return tag;
}

bool isTemporaryName(const QByteArray &entry, const QByteArray &name)
{
    const QByteArray prefix = '.' + name + '.';
    return entry.size() == prefix.size() + TagLength + TemporarySuffix.size() && entry.startsWith(prefix)
        && entry.endsWith(TemporarySuffix);
}

// Removes a temporary file whose writer is gone: a writer holds the lock of its temporary file
// until it has renamed it, so a lock that can be taken marks a leftover.
void removeIfAbandoned(int folder, const QByteArray &entry)
{
    Descriptor fd(::openat(folder, entry.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return;
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd.get(), &opened) == 0 && ::fstatat(folder, entry.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0
        && S_ISREG(named.st_mode) && sameFile(opened, named))
        ::unlinkat(folder, entry.constData(), 0);
}

void removeLeftovers(int folder, const QByteArray &name)
{
    const int listing = ::dup(folder);
    DIR *dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0)
            ::close(listing);
        return;
    }
    QList<QByteArray> leftovers;
    while (const dirent *entry = ::readdir(dir)) {
        if (isTemporaryName(entry->d_name, name))
            leftovers.append(entry->d_name);
    }
    ::closedir(dir);
    for (const QByteArray &entry : leftovers)
        removeIfAbandoned(folder, entry);
}

// Creates ".<name>.XXXXXX.tmp" in the folder, locked (so that no other writer takes it for a
// leftover) and with its final owner, group and mode. Returns its descriptor, or -1.
int createTemporary(int folder, const QByteArray &name, const Ownership &ownership, QByteArray &temporary,
                    QString &reason)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = '.' + name + '.' + randomTag() + TemporarySuffix;
        Descriptor fd(::openat(folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                               ownership.existing || ownership.mode != 0 ? 0600 : 0666));
        if (!fd.valid() && errno == EEXIST)
            continue;
        if (!fd.valid()) {
            reason = QStringLiteral("cannot create a temporary file there: %1").arg(systemError(errno));
            return -1;
        }
        (void)::flock(fd.get(), LOCK_EX);
        // Another writer may have taken it for a leftover between its creation and the lock.
        struct stat opened {};
        if (::fstat(fd.get(), &opened) != 0 || opened.st_nlink == 0)
            continue;
        if (!applyOwnership(fd.get(), ownership, reason)) {
            ::unlinkat(folder, temporary.constData(), 0);
            return -1;
        }
        return fd.release();
    }
    reason = QStringLiteral("cannot create a temporary file there: every name tried is taken");
    return -1;
}

bool writeAll(int fd, const QByteArray &bytes, QString &reason)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            reason = systemError(written < 0 ? errno : ENOSPC);
            return false;
        }
        done += written;
    }
    if (::fsync(fd) != 0) {
        reason = systemError(errno);
        return false;
    }
    return true;
}

// The checked target's bytes, read through its folder; empty when it does not exist.
std::optional<QByteArray> readTarget(const Target &target, QString &reason)
{
    Descriptor fd(::openat(target.folder.get(), target.name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid() && errno == ENOENT)
        return QByteArray();
    std::optional<QByteArray> bytes;
    if (fd.valid())
        bytes = readOpenFile(fd.get(), &reason);
    else
        reason = systemError(errno);
    if (!bytes)
        reason = QStringLiteral("cannot read %1: %2").arg(target.path, reason);
    return bytes;
}

// Writes the temporary file and renames it over the target, in the target's folder. With a
// change, the bytes are what it makes of the target's; `whole` tells a reason that is a whole
// message (the change's own, or the target's that cannot be read).
bool replaceFile(const Target &target, QByteArray bytes, const FileChange *change, const WriteOptions &options,
                 QString &reason, bool &whole)
{
    const Descriptor &folder = target.folder;
    const QByteArray &name = target.name;
    Ownership ownership;
    if (!checkTarget(target, options, true, ownership, reason))
        return false;
    if (change) {
        const std::optional<QByteArray> current = readTarget(target, reason);
        std::optional<QByteArray> changed = current ? (*change)(*current, reason) : std::nullopt;
        if (!changed) {
            whole = true;
            return reason.isEmpty();
        }
        bytes = std::move(*changed);
    }
    removeLeftovers(folder.get(), name);
    QByteArray temporary;
    Descriptor file(createTemporary(folder.get(), name, ownership, temporary, reason));
    if (!file.valid())
        return false;
    bool replaced = writeAll(file.get(), bytes, reason);
    if (replaced && ::renameat(folder.get(), temporary.constData(), folder.get(), name.constData()) != 0) {
        reason = QStringLiteral("cannot rename the temporary file over it: %1").arg(systemError(errno));
        replaced = false;
    }
    if (!replaced) {
        ::unlinkat(folder.get(), temporary.constData(), 0);
        return false;
    }
    // The rename itself reaches the disk with the folder.
    (void)::fsync(folder.get());
    return true;
}

#endif

} // namespace

#ifdef Q_OS_UNIX

FileWriteLock::FileWriteLock(const QString &path, int timeoutMs) : m_lockPath(path + QStringLiteral(".lock"))
{
    if (!acquire(timeoutMs) && m_error.isEmpty())
        m_error = busy(path);
}

bool FileWriteLock::acquire(int timeoutMs)
{
    const QString path = m_lockPath.chopped(5);
    const QByteArray lockPath = native(m_lockPath);
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        // Opened for reading: a lock file that another user's writer left behind can be locked too.
        Descriptor fd(::open(lockPath.constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!fd.valid()) {
            m_error = cannotWrite(path, QStringLiteral("cannot create %1: %2").arg(m_lockPath, systemError(errno)));
            return false;
        }
        (void)::fchmod(fd.get(), 0644);   // readable by others whatever the umask; fails harmlessly if not ours
        if (const int failure = lockUntil(fd.get(), deadline)) {
            if (failure != EWOULDBLOCK)
                m_error = cannotWrite(path, QStringLiteral("cannot lock %1: %2").arg(m_lockPath, systemError(failure)));
            return false;
        }
        if (stillNamed(fd.get(), lockPath)) {
            m_fd = fd.release();
            return true;
        }
    }
}

FileWriteLock::~FileWriteLock()
{
    if (m_fd < 0)
        return;
    // Removed while still held, so that the next writer never waits on a file that is gone.
    ::unlink(native(m_lockPath).constData());
    ::close(m_fd);
}

bool FileWriteLock::locked() const
{
    return m_fd >= 0;
}

QString writeProblem(const QString &path, const WriteOptions &options)
{
    Target target;
    Ownership ownership;
    QString reason;
    if (findTarget(path, target, reason) && checkTarget(target, options, false, ownership, reason))
        return {};
    return cannotWrite(path, reason);
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error, const WriteOptions &options)
{
    Target target;
    QString reason;
    bool whole = false;
    if (findTarget(path, target, reason) && replaceFile(target, bytes, nullptr, options, reason, whole))
        return true;
    if (error)
        *error = cannotWrite(path, reason);
    return false;
}

bool rewriteFileAtomically(const QString &path, const FileChange &change, QString *error, const WriteOptions &options)
{
    Target target;
    QString reason;
    bool whole = false;
    if (findTarget(path, target, reason) && replaceFile(target, {}, &change, options, reason, whole))
        return true;
    if (error)
        *error = whole ? reason : cannotWrite(path, reason);
    return false;
}

#else

// Without flock: Qt's lock file, which takes the lock of a process that is gone.
FileWriteLock::FileWriteLock(const QString &path, int timeoutMs)
    : m_lockPath(path + QStringLiteral(".lock")), m_lockFile(std::make_unique<QLockFile>(m_lockPath))
{
    if (!acquire(timeoutMs))
        m_error = busy(path);
}

bool FileWriteLock::acquire(int timeoutMs)
{
    return m_lockFile->tryLock(timeoutMs);
}

FileWriteLock::~FileWriteLock() = default;

bool FileWriteLock::locked() const
{
    return m_lockFile->isLocked();
}

QString writeProblem(const QString &path, const WriteOptions &)
{
    const QFileInfo info(path);
    if (info.exists() && (!info.isFile() || !info.isWritable()))
        return cannotWrite(path, info.isDir() ? QStringLiteral("it is a folder") : QStringLiteral("it is read-only"));
    return {};
}

bool rewriteFileAtomically(const QString &path, const FileChange &change, QString *error, const WriteOptions &options)
{
    QString reason;
    const std::optional<QByteArray> current = readFileBytesOrEmpty(path, &reason);
    if (!current)
        reason = QStringLiteral("cannot read %1").arg(reason);
    const std::optional<QByteArray> bytes = current ? change(*current, reason) : std::nullopt;
    if (!bytes && error && !reason.isEmpty())
        *error = reason;
    return bytes ? writeFileAtomically(path, *bytes, error, options) : reason.isEmpty();
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error, const WriteOptions &)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = cannotWrite(path, file.errorString());
    file.cancelWriting();
    return false;
}

#endif

void ignoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace kestrix
