#include "comm/serial_channel.h"

#include "base/config_file.h"
#include "comm/serial_settings.h"
#include "comm/trace.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace kestrix {
namespace {

// A write that has not left the driver after this long counts as failed.
constexpr int WriteTimeoutMs = 2000;

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

#ifdef Q_OS_UNIX
// Folders of uucp-style lock files ("LCK..ttyUSB0", holding the owner's pid), where programs
// such as minicom and the serial port itself put them.
constexpr const char *LockFolders[] = {"/var/lock", "/run/lock", "/var/spool/lock", "/var/spool/uucp"};

// The names a lock file of the device may have: the serial port's ("LCK..pts_5" for
// /dev/pts/5, the path below /dev with '_' for '/') and the base name other programs use.
QStringList lockFileNames(const QString &device)
{
    QString below = device;
    if (below.startsWith(QLatin1String("/dev/")))
        below = below.mid(5);
    QStringList names{QStringLiteral("LCK..") + below.replace(QLatin1Char('/'), QLatin1Char('_'))};
    const QString base = QStringLiteral("LCK..") + QFileInfo(device).fileName();
    if (!names.contains(base))
        names << base;
    return names;
}

// The pid on the first line of a lock file: "      1234" as uucp programs write it, or "1234"
// followed by more lines as the serial port writes it. 0 when there is none.
qint64 lockOwner(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    bool isNumber = false;
    const qint64 pid = file.readLine(64).trimmed().toLongLong(&isNumber);
    return isNumber && pid > 0 ? pid : 0;
}

// A process that exists, also when it belongs to another user (EPERM).
bool processAlive(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// A lock file of the device naming a live process other than this one, described for the
// message; empty when there is none. The serial port would take such a file for stale (it
// expects its own format) and delete it, so it is checked first. A lock of a process that has
// ended is left to the serial port, which replaces it.
QString foreignLockOf(const QString &device)
{
    for (const char *folder : LockFolders) {
        for (const QString &name : lockFileNames(device)) {
            const QString path = QLatin1String(folder) + QLatin1Char('/') + name;
            const qint64 pid = lockOwner(path);
            if (pid > 0 && pid != ::getpid() && processAlive(pid))
                return QStringLiteral("its lock file %1 names pid %2").arg(path).arg(pid);
        }
    }
    return {};
}

// Whether another open file of the terminal holds it in exclusive mode. The mode refuses
// everybody's opens but root's; root would open the port and, on closing, switch the holder's
// mode off, so root asks the terminal first, through an open file of its own that changes
// nothing.
bool heldExclusively(const QString &device)
{
#ifdef TIOCGEXCL
    if (::geteuid() != 0)
        return false;
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) != 0)
        exclusive = 0;
    ::close(fd);
    return exclusive != 0;
#else
    (void)device;
    return false;
#endif
}
#endif

// Why another program holds the device before this one opens it, for the message; empty when
// nothing says so.
QString heldElsewhere(const QString &device)
{
#ifdef Q_OS_UNIX
    const QString lock = foreignLockOf(device);
    if (!lock.isEmpty())
        return lock;
    if (heldExclusively(device))
        return QStringLiteral("it holds the device in exclusive mode");
#else
    (void)device;
#endif
    return {};
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

CComm::CComm() : CComm(realSleeper()) {}

CComm::CComm(Sleeper &sleeper) : CComm(sleeper, PortDevices::fromConfig()) {}

CComm::CComm(Sleeper &sleeper, PortDevices devices) : m_sleeper(sleeper), m_devices(std::move(devices)) {}

CComm::~CComm()
{
    nestingCounter = 0;
    // Callers close the channel; an abandoned port is released with its object.
}

int CComm::refuse(OpenFailure failure, const QString &reason)
{
    m_lastFailure = failure;
    m_lastErrorText = reason;
    if (failure == OpenFailure::BadPortNumber) {
        m_device.clear();
        return BadPort;
    }
    // Ports without a device are many in a scan and say nothing worth a trace line.
    if (failure != OpenFailure::NoSuchDevice)
        CommTrace::note(m_port, lastOpenError());
    return DeviceError;
}

int CComm::Open(int port, int speed)
{
    m_speed = speed;
    m_port = port;
    m_serial.reset();
    if (port < FirstPort || port > LastPort)
        return refuse(OpenFailure::BadPortNumber, {});
    m_device = m_devices.device(port);
    // Cheaper than letting the serial port take a lock file for a device that is not there.
    if (!deviceMayExist(m_device))
        return refuse(OpenFailure::NoSuchDevice, {});
    const QString holder = heldElsewhere(m_device);
    if (!holder.isEmpty())
        return refuse(OpenFailure::Busy, holder);
    auto serial = std::make_unique<QSerialPort>();
    serial->setPortName(m_device);
    serial->setReadBufferSize(QueueSize);
    setLineSettings(*serial, speed);
    if (!serial->open(QIODevice::ReadWrite)) {
        // For a busy device the serial port speaks of a permission error, which would mislead.
        const OpenFailure failure = classify(*serial, m_device);
        return refuse(failure, failure == OpenFailure::Busy ? QString() : serial->errorString());
    }
    // Refused here, the port closes again and switches off the exclusive mode it set as it
    // opened; nobody else had the mode on (heldElsewhere).
    if (!lockExclusively(*serial))
        return refuse(OpenFailure::Busy, QStringLiteral("it holds a lock on the device"));
    holdModemLinesInactive(*serial);
    serial->clear(QSerialPort::AllDirections);
    m_serial = std::move(serial);
    m_lastFailure = OpenFailure::None;
    m_lastErrorText.clear();
    CommTrace::note(port, QStringLiteral("opened %1 at %2 bps").arg(m_device).arg(speed));
    return Opened;
}

void CComm::Close()
{
    if (!m_serial)
        return;
    m_serial->close();
    m_serial.reset();
    CommTrace::note(m_port, QStringLiteral("closed"));
}

bool CComm::isOpen() const
{
    return m_serial && m_serial->isOpen();
}

QString CComm::lastOpenError() const
{
    const QString device = m_device.isEmpty() ? QStringLiteral("COM%1").arg(m_port) : m_device;
    switch (m_lastFailure) {
    case OpenFailure::None: return {};
    case OpenFailure::BadPortNumber:
        return QStringLiteral("Port %1 is not a port number from 1 to 20.").arg(m_port);
    case OpenFailure::NoSuchDevice:
        return QStringLiteral("COM%1: the device %2 does not exist.").arg(m_port).arg(device);
    case OpenFailure::Busy:
        return QStringLiteral("COM%1: the device %2 is in use by another program%3.")
            .arg(m_port).arg(device, busyReason(m_lastErrorText));
    case OpenFailure::PermissionDenied:
        return QStringLiteral("COM%1: permission denied on %2 (is the user in the group that owns it?).")
            .arg(m_port).arg(device);
    case OpenFailure::OtherDeviceError:
    case OpenFailure::TimeoutsRefused:
        return QStringLiteral("COM%1: cannot open %2: %3.").arg(m_port).arg(device, m_lastErrorText);
    }
    return {};
}

bool CComm::writeFrame(const std::string &frame)
{
    if (!isOpen())
        return false;
    // Discard stale answers. The transmit side is already empty: every write drains, and
    // discarding it would, on a pseudo-terminal, throw away what the far end has not read yet.
    m_serial->clear(QSerialPort::Input);
    m_serial->clearError();
    const QByteArray bytes(frame.data(), qsizetype(frame.size()));
    CommTrace::record(CommTrace::Direction::Sent, m_port, bytes);
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

void CComm::reopenAfterFailedWrite()
{
    CommTrace::note(m_port, QStringLiteral("write failed, reopening"));
    Close();
    Open(m_port, m_speed);
}

char CComm::Send(const std::string &frame)
{
    if (writeFrame(frame))
        m_sleeper.pause(PauseAfterWrite);
    else
        reopenAfterFailedWrite();
    return 0;
}

int CComm::readAnswer(char *buffer, int count)
{
    if (m_serial->bytesAvailable() == 0 && !m_serial->waitForReadyRead(int(FirstByteTimeout.count())))
        return 0;
    const qint64 received = m_serial->read(buffer, count);
    return received > 0 ? int(received) : 0;
}

std::string CComm::formatAnswer(const char *buffer, int received, int count)
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

std::string CComm::Query(const std::string &frame, int count)
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
    CommTrace::record(CommTrace::Direction::Received, m_port, QByteArray(buffer, received));
    return formatAnswer(buffer, received, count);
}

#ifdef Q_OS_LINUX
namespace {

// The names in a folder of /proc, read with the system's calls: a search looks at every open
// file of every process, and does it while an operator waits.
std::vector<std::string> entriesOf(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.')
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

std::string linkTarget(const std::string &link)
{
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    return length > 0 ? std::string(target, size_t(length)) : std::string();
}

std::string fileText(const std::string &path)
{
    QFile file(QFile::decodeName(path.c_str()));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// "tty-index:\tN\n", which the open file of a pseudo-terminal's master /dev/pts/N shows in its
// fdinfo; empty for any other device.
std::string masterMark(const std::string &device)
{
    const std::string folder = "/dev/pts/";
    if (device.compare(0, folder.size(), folder) != 0)
        return {};
    return "tty-index:\t" + device.substr(folder.size()) + "\n";
}

struct FdUse {
    bool device = false;   // has the device open
    bool master = false;   // holds the far end of the pseudo-terminal
};

FdUse useOf(const std::string &processDir, const std::string &device, const std::string &masterMark)
{
    FdUse use;
    for (const std::string &fd : entriesOf(processDir + "/fd")) {
        const std::string target = linkTarget(processDir + "/fd/" + fd);
        if (target == device)
            use.device = true;
        else if (!masterMark.empty() && target.ends_with("/ptmx"))
            use.master = use.master || fileText(processDir + "/fdinfo/" + fd).find(masterMark) != std::string::npos;
    }
    return use;
}

QString processName(const std::string &processDir)
{
    std::string name = fileText(processDir + "/comm");
    if (!name.empty() && name.back() == '\n')
        name.pop_back();
    return QString::fromUtf8(name.data(), qsizetype(name.size()));
}

} // namespace
#endif

std::vector<DeviceUser> otherUsersOf(const QString &device)
{
    std::vector<DeviceUser> users;
#ifdef Q_OS_LINUX
    const std::string path = QFile::encodeName(QFileInfo(device).canonicalFilePath()).toStdString();
    if (path.empty())
        return users;
    const std::string mark = masterMark(path);
    for (const std::string &entry : entriesOf("/proc")) {
        char *end = nullptr;
        const qint64 pid = std::strtoll(entry.c_str(), &end, 10);
        if (*end != '\0' || pid <= 0 || pid == ::getpid())
            continue;
        const std::string processDir = "/proc/" + entry;
        const FdUse use = useOf(processDir, path, mark);
        if (use.device && !use.master)
            users.push_back({pid, processName(processDir)});
    }
    std::sort(users.begin(), users.end(), [](const DeviceUser &a, const DeviceUser &b) { return a.pid < b.pid; });
#else
    (void)device;
#endif
    return users;
}

} // namespace kestrix
