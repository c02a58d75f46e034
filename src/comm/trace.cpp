#include "comm/trace.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <memory>

namespace kestrix {
namespace {

QMutex traceMutex;
std::unique_ptr<QFile> traceFile;
QString traceFailure;

const char *directionMark(CommTrace::Direction direction)
{
    switch (direction) {
    case CommTrace::Direction::Sent: return "->";
    case CommTrace::Direction::Received: return "<-";
    case CommTrace::Direction::Event: return "--";
    }
    return "--";
}

QString timeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

// Writes one line at once; false when it did not reach the file.
bool writeTo(QFile &file, const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    if (file.write(bytes) == bytes.size() && file.flush())
        return true;
    // A line written in part fails without the system's reason; writing the rest once more
    // fails with it ("File too large").
    file.flush();
    return false;
}

QString writeError(const QFile &file)
{
    return QStringLiteral("cannot write the trace file %1: %2").arg(file.fileName(), file.errorString());
}

void writeLine(CommTrace::Direction direction, const QString &line, const QString &text)
{
    QMutexLocker lock(&traceMutex);
    if (!traceFile)
        return;
    const QString entry = QStringLiteral("%1 %2 %3 %4\n")
                              .arg(timeStamp(), line, QLatin1String(directionMark(direction)), text);
    if (writeTo(*traceFile, entry))
        return;
    // Stop at the first failure: the reason is kept for the caller, and the lines after it
    // would fail the same way.
    traceFailure = writeError(*traceFile);
    traceFile.reset();
}

// The spelling of a control character: <ESC>, <CR>, <LF>, else <xx>; empty for any other.
QString controlSpelling(char32_t code)
{
    switch (code) {
    case 0x1b: return QStringLiteral("<ESC>");
    case '\r': return QStringLiteral("<CR>");
    case '\n': return QStringLiteral("<LF>");
    default: break;
    }
    if (code < 0x20 || (code >= 0x7f && code < 0xa0))
        return QStringLiteral("<%1>").arg(uint(code), 2, 16, QLatin1Char('0'));
    return {};
}

// Appends to a file; a device or pipe (/dev/stderr) is written as it is, since it has no end to
// seek to.
QIODevice::OpenMode openModeFor(const QString &path)
{
    const QFileInfo info(path);
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Text;
    return info.exists() && !info.isFile() ? mode : mode | QIODevice::Append;
}

} // namespace

bool CommTrace::start(const QString &path, QString *error)
{
    auto file = std::make_unique<QFile>(path);
    const bool opened = file->open(openModeFor(path));
    if (!opened || !writeTo(*file, QStringLiteral("%1 -- trace started\n").arg(timeStamp()))) {
        if (error)
            *error = writeError(*file);
        return false;
    }
    QMutexLocker lock(&traceMutex);
    traceFile = std::move(file);
    traceFailure.clear();
    return true;
}

void CommTrace::stop()
{
    QMutexLocker lock(&traceMutex);
    traceFile.reset();
}

bool CommTrace::active()
{
    QMutexLocker lock(&traceMutex);
    return traceFile != nullptr;
}

QString CommTrace::failure()
{
    QMutexLocker lock(&traceMutex);
    return traceFailure;
}

void CommTrace::record(Direction direction, const QString &line, const QByteArray &bytes)
{
    if (active())
        writeLine(direction, line, printable(bytes));
}

void CommTrace::note(const QString &line, const QString &text)
{
    if (active())
        writeLine(Direction::Event, line, text);
}

QString CommTrace::printable(const QByteArray &bytes)
{
    QString text;
    for (char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        const QString spelling = controlSpelling(code);
        if (!spelling.isEmpty())
            text += spelling;
        else if (code > 0x7e)
            text += QStringLiteral("<%1>").arg(code, 2, 16, QLatin1Char('0'));
        else
            text += QLatin1Char(byte);
    }
    return text;
}

QString CommTrace::printableText(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (QChar character : text) {
        const QString spelling = controlSpelling(character.unicode());
        if (spelling.isEmpty())
            shown += character;
        else
            shown += spelling;
    }
    return shown;
}

} // namespace kestrix
