#include "comm/local_line.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace kestrix {
namespace {

// A write that has not left the driver after this long counts as failed.
constexpr int WriteTimeoutMs = 2000;

} // namespace

LocalLine::LocalLine(std::unique_ptr<QSerialPort> serial) : m_serial(std::move(serial)) {}

LocalLine::~LocalLine() = default;

bool LocalLine::isOpen() const
{
    return m_serial && m_serial->isOpen();
}

// The transmit side is already empty: every write drains, and discarding it would, on a
// pseudo-terminal, throw away what the far end has not read yet.
void LocalLine::discardInput()
{
    m_serial->clear(QSerialPort::Input);
    m_serial->clearError();
}

bool LocalLine::write(const QByteArray &bytes)
{
    if (m_serial->write(bytes) != bytes.size())
        return false;
    while (m_serial->bytesToWrite() > 0) {
        if (!m_serial->waitForBytesWritten(WriteTimeoutMs))
            return false;
    }
#ifdef Q_OS_UNIX
    // Wait until the frame has left the driver, so the pause after it is a gap on the line
    // and the next frame's discard cannot cut it short.
    ::tcdrain(int(m_serial->handle()));
#endif
    return m_serial->error() == QSerialPort::NoError;
}

int LocalLine::read(char *buffer, int count, int firstByteTimeoutMs)
{
    if (m_serial->bytesAvailable() == 0 && !m_serial->waitForReadyRead(firstByteTimeoutMs))
        return 0;
    const qint64 received = m_serial->read(buffer, count);
    return received > 0 ? int(received) : 0;
}

void LocalLine::close()
{
    m_serial->close();
}

} // namespace kestrix
