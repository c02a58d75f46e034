#include "comm/serial_channel.h"

#include "base/config_file.h"
#include "comm/device_address.h"
#include "comm/local_line.h"
#include "comm/network_line.h"
#include "comm/port_owners.h"
#include "comm/serial_settings.h"
#include "comm/trace.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace kestrix {
namespace {

OpenFailure classify(const QSerialPort &serial, const QString &device)
{
    if (serial.error() == QSerialPort::DeviceNotFoundError || !QFileInfo::exists(device))
        return OpenFailure::NoSuchDevice;
    if (serial.error() != QSerialPort::PermissionError)
        return OpenFailure::OtherDeviceError;
    const QFileInfo info(device);
    if (!info.isReadable() || !info.isWritable())
        return OpenFailure::PermissionDenied;
    return OpenFailure::Busy;
}

// " (it holds the device in exclusive mode)" after "in use by another program", when the reason
// is known.
QString busyReason(const QString &reason)
{
    return reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason);
}

// Device files are checked before opening; Windows port names are not files.
bool deviceMayExist(const QString &device)
{
#ifdef Q_OS_WIN
    return !device.isEmpty();
#else
    return QFileInfo::exists(device);
#endif
}

// Takes the device for this program alone where the platform offers an advisory lock, so that
// programs that lock serial devices that way (and root, whom the terminal's exclusive mode does
// not stop) cannot share the port with us.
bool lockExclusively(QSerialPort &serial)
{
#ifdef Q_OS_UNIX
    return ::flock(int(serial.handle()), LOCK_EX | LOCK_NB) == 0;
#else
    (void)serial;
    return true;
#endif
}

// Line settings of the boards, given before opening: the port applies them once as it opens.
void setLineSettings(QSerialPort &serial, int speed)
{
    serial.setBaudRate(speed);
    serial.setDataBits(QSerialPort::Data8);
    serial.setParity(QSerialPort::NoParity);
    serial.setStopBits(QSerialPort::OneStop);
    serial.setFlowControl(QSerialPort::NoFlowControl);
}

// DTR and RTS inactive, which only an open port can be told. A device that refuses the modem
// lines (a pseudo-terminal) is used as it is.
void holdModemLinesInactive(QSerialPort &serial)
{
    serial.setDataTerminalReady(false);
    serial.setRequestToSend(false);
    serial.clearError();
}

// Text of the received bytes up to the first zero byte.
std::string textUpToZero(const char *buffer, int received)
{
    return std::string(buffer, strnlen(buffer, size_t(received)));
}

std::string trimmed(const std::string &text)
{
    const char *blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace

SerialChannel::SerialChannel() : SerialChannel(defaultSleeper()) {}

SerialChannel::SerialChannel(Sleeper &sleeper) : SerialChannel(sleeper, PortDevices::fromConfig()) {}

SerialChannel::SerialChannel(Sleeper &sleeper, PortDevices devices) : m_sleeper(sleeper), m_devices(std::move(devices)) {}

SerialChannel::~SerialChannel()
{
    nestingCounter = 0;
    // Callers close the channel; an abandoned port is released with its object.
}

int SerialChannel::refuse(OpenFailure failure, const QString &reason)
{
    m_lastFailure = failure;
    m_lastErrorText = reason;
    if (failure == OpenFailure::BadPortNumber) {
        m_device.clear();
        return BadPort;
    }
    // Ports without a device are many in a scan and say nothing worth a trace line.
    if (failure != OpenFailure::NoSuchDevice)
        CommTrace::note(lineName(), lastOpenError());
    return DeviceError;
}

int SerialChannel::Open(int port, int speed)
{
    m_port = port;
    if (port < FirstPort || port > LastPort) {
        m_speed = speed;
        m_line.reset();
        return refuse(OpenFailure::BadPortNumber, {});
    }
    m_device = m_devices.device(port);
    return openDevice(speed);
}

int SerialChannel::OpenDevice(const QString &device, int speed)
{
    m_port = 0;
    m_device = device;
    return openDevice(speed);
}

int SerialChannel::reopen()
{
    return openDevice(m_speed);
}

QString SerialChannel::lineName() const
{
    if (m_port == 0)
        return m_device;
    const QString com = QStringLiteral("COM%1").arg(m_port);
    return looksLikeNetworkDevice(m_device) ? com + u' ' + m_device : com;
}

int SerialChannel::openDevice(int speed)
{
    m_speed = speed;
    m_lost = false;
    m_turnedAway = false;
    m_line.reset();
    const ParsedDevice parsed = parseDevice(m_device);
    if (!parsed.ok())
        return refuse(OpenFailure::BadDevice, parsed.problem);
    const int result = parsed.address.isNetwork() ? openNetwork(parsed.address) : openLocal();
    if (result != Opened)
        return result;
    m_lastFailure = OpenFailure::None;
    m_lastErrorText.clear();
    CommTrace::note(lineName(), QStringLiteral("opened %1 at %2 bps").arg(m_device).arg(speed));
    return Opened;
}

int SerialChannel::openNetwork(const DeviceAddress &address)
{
    NetworkLine::Opening opening = NetworkLine::open(address, m_speed, lineName());
    if (!opening.line)
        return refuse(opening.failure, opening.reason);
    m_line = std::move(opening.line);
    return Opened;
}

int SerialChannel::openLocal()
{
    // Cheaper than letting the serial port take a lock file for a device that is not there.
    if (!deviceMayExist(m_device))
        return refuse(OpenFailure::NoSuchDevice, {});
    releaseStaleHolds(m_device);
    const QString holder = heldElsewhere(m_device);
    if (!holder.isEmpty())
        return refuse(OpenFailure::Busy, holder);
    auto serial = std::make_unique<QSerialPort>();
    serial->setPortName(m_device);
    serial->setReadBufferSize(QueueSize);
    setLineSettings(*serial, m_speed);
    if (!serial->open(QIODevice::ReadWrite)) {
        // For a busy device, and for a lock file it cannot write, the serial port speaks of a
        // permission error, which would mislead.
        const OpenFailure failure = classify(*serial, m_device);
        if (failure != OpenFailure::Busy)
            return refuse(failure, serial->errorString());
        if (const auto problem = lockFileProblem(m_device))
            return refuse(OpenFailure::LockFileUnwritable, *problem);
        return refuse(failure, {});
    }
    // Refused here, the port closes again and switches off the exclusive mode it set as it
    // opened; nobody else had the mode on (heldElsewhere).
    if (!lockExclusively(*serial))
        return refuse(OpenFailure::Busy, QStringLiteral("it holds a lock on the device"));
    holdModemLinesInactive(*serial);
    // Input only: on a pseudo-terminal, discarding output throws away what the far end has
    // not read yet, which may be the frame sent just before the last close.
    serial->clear(QSerialPort::Input);
    m_line = std::make_unique<LocalLine>(std::move(serial));
    return Opened;
}

void SerialChannel::Close()
{
    if (!m_line)
        return;
    m_line->close();
    m_line.reset();
    CommTrace::note(lineName(), QStringLiteral("closed"));
}

bool SerialChannel::isOpen() const
{
    return m_line && m_line->isOpen();
}

QString SerialChannel::lastOpenError() const
{
    const QString device = m_device.isEmpty() ? QStringLiteral("COM%1").arg(m_port) : m_device;
    const QString com = m_port == 0 ? QString() : QStringLiteral("COM%1: ").arg(m_port);
    switch (m_lastFailure) {
    case OpenFailure::None: return {};
    case OpenFailure::BadPortNumber:
        return QStringLiteral("Port %1 is not a port number from 1 to 20.").arg(m_port);
    case OpenFailure::NoSuchDevice:
        return com + QStringLiteral("the device %1 does not exist.").arg(device);
    case OpenFailure::Busy:
        return com + QStringLiteral("the device %1 is in use by another program%2.").arg(device, busyReason(m_lastErrorText));
    case OpenFailure::PermissionDenied:
        return com + QStringLiteral("permission denied on %1 (is the user in the group that owns it?).").arg(device);
    case OpenFailure::BadDevice:
        return com + QStringLiteral("\"%1\" is no device: %2.").arg(CommTrace::printableText(device), m_lastErrorText);
    case OpenFailure::Unreachable:
        return com + QStringLiteral("cannot reach %1: %2.").arg(device, m_lastErrorText);
    case OpenFailure::ServerRefused:
        return com + QStringLiteral("%1 cannot be used: %2.").arg(device, m_lastErrorText);
    case OpenFailure::OtherDeviceError:
    case OpenFailure::LockFileUnwritable:
    case OpenFailure::TimeoutsRefused:
        return com + QStringLiteral("cannot open %1: %2.").arg(device, m_lastErrorText);
    }
    return {};
}

bool SerialChannel::writeFrame(const std::string &frame)
{
    if (!isOpen())
        return false;
    m_line->discardInput();
    const QByteArray bytes(frame.data(), qsizetype(frame.size()));
    CommTrace::record(CommTrace::Direction::Sent, lineName(), bytes);
    if (!m_line->write(bytes)) {
        noteRefusal();
        return false;
    }
    ++m_framesWritten;
    return true;
}

void SerialChannel::reopenAfterFailedWrite()
{
    Close();
    // Turned away by a server: someone else holds the line, which a reconnect does not change.
    if (m_turnedAway)
        return;
    CommTrace::note(lineName(), QStringLiteral("write failed, reopening"));
    // Once is the rule: a port that does not open again means the board is gone, and every
    // further frame would only fail faster.
    m_lost = reopen() != Opened;
    if (m_lost)
        CommTrace::note(lineName(), QStringLiteral("port did not open again: board lost"));
}

char SerialChannel::Send(const std::string &frame)
{
    sendFrame(frame);
    return 0;
}

bool SerialChannel::sendFrame(const std::string &frame)
{
    if (!writeFrame(frame)) {
        reopenAfterFailedWrite();
        return false;
    }
    m_sleeper.pause(PauseAfterWrite);
    return true;
}

int SerialChannel::readAnswerByte()
{
    if (!isOpen())
        return -1;
    char byte = 0;
    if (readAnswer(&byte, 1) != 1)
        return -1;
    CommTrace::record(CommTrace::Direction::Received, lineName(), QByteArray(&byte, 1));
    return static_cast<unsigned char>(byte);
}

int SerialChannel::readAnswer(char *buffer, int count)
{
    const int received = m_line->read(buffer, count, int(FirstByteTimeout.count()));
    noteRefusal();
    return received;
}

// A server that turned us away holds the line for someone else: the port is in use, as a local
// device another program holds.
void SerialChannel::noteRefusal()
{
    if (!m_line || m_line->refusal().isEmpty())
        return;
    m_turnedAway = true;
    m_lastFailure = OpenFailure::Busy;
    m_lastErrorText = m_line->refusal();
    CommTrace::note(lineName(), lastOpenError());
}

std::string SerialChannel::formatAnswer(const char *buffer, int received, int count)
{
    switch (count) {
    case 1: {
        const std::string number = std::to_string(static_cast<unsigned char>(buffer[0]));
        return number.size() == 1 ? "0" + number : number;
    }
    case 5: return trimmed(textUpToZero(buffer, received));
    case 10: return trimmed("hw: " + textUpToZero(buffer, received));
    case 24: return trimmed("sw: " + textUpToZero(buffer, received));
    default: return {};
    }
}

std::string SerialChannel::Query(const std::string &frame, int count)
{
    m_lastQueryAnswered = false;
    if (!writeFrame(frame)) {
        reopenAfterFailedWrite();
        return {};
    }
    m_sleeper.pause(PauseAfterWrite);
    char buffer[LargestAnswer + 1] = {};
    const int received = readAnswer(buffer, std::clamp(count, 0, LargestAnswer));
    m_sleeper.pause(PauseAfterRead);
    // A read that failed because the device went away is no answer either: it must not turn
    // into a register value of zero.
    if (received == 0)
        return NotConnected;
    m_lastQueryAnswered = true;
    CommTrace::record(CommTrace::Direction::Received, lineName(), QByteArray(buffer, received));
    return formatAnswer(buffer, received, count);
}

} // namespace kestrix
