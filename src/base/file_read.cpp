#include "base/file_read.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrix {
namespace {

QString tooLarge()
{
    return QStringLiteral("it is larger than %1 MB").arg(MaxDataFileSize / (1024 * 1024));
}

#ifdef Q_OS_UNIX

QString systemError(int number)
{
    return QString::fromLocal8Bit(std::strerror(number));
}

// Why a file of this kind and size is not read, or empty.
QString kindProblem(const struct stat &found)
{
    if (S_ISDIR(found.st_mode))
        return QStringLiteral("it is a folder");
    if (!S_ISREG(found.st_mode))
        return QStringLiteral("it is not a regular file");
    if (found.st_size > MaxDataFileSize)
        return tooLarge();
    return {};
}

// Reads to the end, refusing a file that grows beyond the limit while it is read.
bool readAll(int fd, QByteArray &bytes, QString &reason)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            reason = systemError(errno);
            return false;
        }
        if (got == 0)
            return true;
        if (bytes.size() + got > MaxDataFileSize) {
            reason = tooLarge();
            return false;
        }
        bytes.append(buffer, got);
    }
}

std::optional<QByteArray> readDescriptor(int fd, QString &reason)
{
    struct stat found {};
    QByteArray bytes;
    if (::fstat(fd, &found) != 0)
        reason = systemError(errno);
    else
        reason = kindProblem(found);
    // Opened without blocking only so that a FIFO cannot hang the open; a file is read normally.
    if (reason.isEmpty() && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        reason = systemError(errno);
    if (reason.isEmpty()) {
        bytes.reserve(qsizetype(found.st_size));
        readAll(fd, bytes, reason);
    }
    if (!reason.isEmpty())
        return std::nullopt;
    return bytes;
}

// The bytes, or the reason in `reason`; `missing` tells a file that is not there.
std::optional<QByteArray> readRegularFile(const QString &path, QString &reason, bool &missing)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    missing = fd < 0 && errno == ENOENT;
    if (fd < 0) {
        reason = systemError(errno);
        return std::nullopt;
    }
    std::optional<QByteArray> bytes = readDescriptor(fd, reason);
    ::close(fd);
    return bytes;
}

#else

std::optional<QByteArray> readRegularFile(const QString &path, QString &reason, bool &missing)
{
    QFile file(path);
    missing = !file.exists();
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return std::nullopt;
    }
    if (file.size() > MaxDataFileSize) {
        reason = tooLarge();
        return std::nullopt;
    }
    return file.readAll();
}

#endif

std::optional<QByteArray> read(const QString &path, QString *error, bool missingIsEmpty)
{
    QString reason;
    bool missing = false;
    std::optional<QByteArray> bytes = readRegularFile(path, reason, missing);
    if (!bytes && missing && missingIsEmpty)
        return QByteArray();
    if (!bytes && error)
        *error = QStringLiteral("%1: %2").arg(path, reason);
    return bytes;
}

} // namespace

std::optional<QByteArray> readFileBytes(const QString &path, QString *error)
{
    return read(path, error, false);
}

std::optional<QByteArray> readFileBytesOrEmpty(const QString &path, QString *error)
{
    return read(path, error, true);
}

#ifdef Q_OS_UNIX
std::optional<QByteArray> readOpenFile(int fd, QString *reason)
{
    QString why;
    std::optional<QByteArray> bytes = readDescriptor(fd, why);
    if (reason)
        *reason = why;
    return bytes;
}
#endif

} // namespace kestrix
