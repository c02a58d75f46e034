#pragma once
// Reading a whole file that a user names or edits: its bytes, or why it cannot be read, in the
// form every area's loader reports it ("path: reason"). Every reader of data files goes through
// here: the file is opened without blocking (a FIFO in its place never hangs the program), and
// anything but a regular file, or a file beyond MaxDataFileSize, is refused with a message
// naming it (a link to /dev/zero never fills the memory).

#include <QByteArray>
#include <QString>
#include <optional>

namespace kestrix {

// Far more than any data file or language table holds.
inline constexpr qint64 MaxDataFileSize = 16 * 1024 * 1024;

// The file's bytes; nothing, with "path: reason" in *error, when it cannot be read.
std::optional<QByteArray> readFileBytes(const QString &path, QString *error = nullptr);

// As readFileBytes(), but a missing file reads as empty: for files that a first write creates.
std::optional<QByteArray> readFileBytesOrEmpty(const QString &path, QString *error = nullptr);

#ifdef Q_OS_UNIX
// The bytes of an open file, with the same checks; `fd` may have been opened with O_NONBLOCK,
// which is cleared. Nothing, with the reason alone in *reason, when it cannot be read.
std::optional<QByteArray> readOpenFile(int fd, QString *reason);
#endif

} // namespace kestrix
