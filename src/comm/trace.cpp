#include "comm/trace.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <memory>

namespace kestrix {
namespace {

QMutex traceMutex;
std::unique_ptr<QFile> traceFile;

const char *directionMark(CommTrace::Direction direction)
{
    switch (direction) {
    case CommTrace::Direction::Sent: return "->";
    case CommTrace::Direction::Received: return "<-";
    case CommTrace::Direction::Event: return "--";
    }
    return "--";
}

void writeLine(CommTrace::Direction direction, int port, const QString &text)
{
    QMutexLocker lock(&traceMutex);
    if (!traceFile)
        return;
    const QString line = QStringLiteral("%1 COM%2 %3 %4\n")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")))
                             .arg(port)
                             .arg(QLatin1String(directionMark(direction)), text);
    traceFile->write(line.toUtf8());
    traceFile->flush();
}

} // namespace

bool CommTrace::start(const QString &path, QString *error)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        if (error)
            *error = QStringLiteral("cannot write the trace file %1: %2").arg(path, file->errorString());
        return false;
    }
    QMutexLocker lock(&traceMutex);
    traceFile = std::move(file);
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

void CommTrace::record(Direction direction, int port, const QByteArray &bytes)
{
    if (active())
        writeLine(direction, port, printable(bytes));
}

void CommTrace::note(int port, const QString &text)
{
    if (active())
        writeLine(Direction::Event, port, text);
}

QString CommTrace::printable(const QByteArray &bytes)
{
    QString text;
    for (char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (code == 0x1b)
            text += QLatin1String("<ESC>");
        else if (code == '\r')
            text += QLatin1String("<CR>");
        else if (code == '\n')
            text += QLatin1String("<LF>");
        else if (code < 0x20 || code > 0x7e)
            text += QStringLiteral("<%1>").arg(code, 2, 16, QLatin1Char('0'));
        else
            text += QLatin1Char(byte);
    }
    return text;
}

} // namespace kestrix
