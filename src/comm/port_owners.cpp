#include "comm/port_owners.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace kestrix {
namespace {

#ifdef Q_OS_UNIX
// Folders of uucp-style lock files ("LCK..ttyUSB0", holding the owner's pid), where programs
// such as minicom and the serial port itself put them.
constexpr const char *LockFolders[] = {"/var/lock", "/run/lock", "/var/spool/lock", "/var/spool/uucp"};

// The folders the serial port looks at for its lock file, in its order; the temporary folder
// comes last.
constexpr const char *SerialPortLockFolders[] = {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                                                 "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"};

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
// followed by more lines as the serial port writes it. 0 when there is none (an empty file,
// other text); nothing when the file cannot be read (or is not there).
std::optional<qint64> lockOwner(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool isNumber = false;
    const qint64 pid = file.readLine(64).trimmed().toLongLong(&isNumber);
    return isNumber && pid > 0 ? pid : 0;
}

// Every place a lock file of the device may be: ours and other programs' folders and names,
// and the serial port's own lock file.
QStringList lockFilesOf(const QString &device)
{
    QStringList paths;
    for (const char *folder : LockFolders) {
        for (const QString &name : lockFileNames(device))
            paths << QLatin1String(folder) + QLatin1Char('/') + name;
    }
    const QString serialPorts = serialLockFile(device);
    if (!serialPorts.isEmpty() && !paths.contains(serialPorts))
        paths << serialPorts;
    return paths;
}

// A lock file naming no process says nothing about who holds the device; the serial port would
// wait 30 s for it to age. It is removed at once.
void removeLocksNamingNoProcess(const QString &device)
{
    for (const QString &path : lockFilesOf(device)) {
        if (lockOwner(path) == 0)
            QFile::remove(path);
    }
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
            const qint64 pid = lockOwner(path).value_or(0);
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

} // namespace

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

// How a process uses the device, leaving out its open file `skippedFd` (named by number).
FdUse useOf(const std::string &processDir, const std::string &device, const std::string &masterMark,
            const std::string &skippedFd = {})
{
    FdUse use;
    for (const std::string &fd : entriesOf(processDir + "/fd")) {
        if (fd == skippedFd)
            continue;
        const std::string target = linkTarget(processDir + "/fd/" + fd);
        if (target == device)
            use.device = true;
        else if (!masterMark.empty() && target.ends_with("/ptmx"))
            use.master = use.master || fileText(processDir + "/fdinfo/" + fd).find(masterMark) != std::string::npos;
    }
    return use;
}

// The pid that a name in /proc is, or 0 for the other entries.
qint64 pidOf(const std::string &entry)
{
    char *end = nullptr;
    const qint64 pid = std::strtoll(entry.c_str(), &end, 10);
    return *end == '\0' && pid > 0 ? pid : 0;
}

// Whether any process, this one included but for its open file `probe`, has the device at
// `path` open (the far end of a pseudo-terminal does not count).
bool openAnywhere(const std::string &path, int probe)
{
    const std::string mark = masterMark(path);
    const qint64 self = ::getpid();
    for (const std::string &entry : entriesOf("/proc")) {
        const qint64 pid = pidOf(entry);
        if (pid == 0)
            continue;
        const FdUse use = useOf("/proc/" + entry, path, mark, pid == self ? std::to_string(probe) : std::string());
        if (use.device && !use.master)
            return true;
    }
    return false;
}

// Switches the exclusive mode of the terminal off when no process has it open: the program that
// set it ended without closing the device. Only root can open a terminal in that mode. Only a
// pseudo-terminal keeps the mode after its last user (a serial port's terminal is made anew as
// it is first opened), and opening a serial port just to look would pulse its modem lines.
void releaseOrphanedExclusiveMode(const QString &device)
{
#ifdef TIOCGEXCL
    const std::string path = QFile::encodeName(QFileInfo(device).canonicalFilePath()).toStdString();
    if (masterMark(path).empty())
        return;
    const int probe = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0)
        return;
    int exclusive = 0;
    if (::ioctl(probe, TIOCGEXCL, &exclusive) == 0 && exclusive != 0 && !openAnywhere(path, probe))
        ::ioctl(probe, TIOCNXCL);
    ::close(probe);
#else
    (void)device;
#endif
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
        const qint64 pid = pidOf(entry);
        if (pid == 0 || pid == ::getpid())
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

void releaseStaleHolds(const QString &device)
{
#ifdef Q_OS_UNIX
    removeLocksNamingNoProcess(device);
#endif
#ifdef Q_OS_LINUX
    releaseOrphanedExclusiveMode(device);
#else
    (void)device;
#endif
}

QString serialLockFile(const QString &device)
{
#ifdef Q_OS_UNIX
    QStringList folders;
    for (const char *folder : SerialPortLockFolders)
        folders << QLatin1String(folder);
    folders << QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    const QString name = lockFileNames(device).front();
    for (const QString &folder : folders) {
        const QFileInfo info(folder);
        const QString path = folder + QLatin1Char('/') + name;
        if (info.isReadable() && (QFile::exists(path) || info.isWritable()))
            return path;
    }
#else
    (void)device;
#endif
    return {};
}

std::optional<QString> lockFileProblem(const QString &device)
{
#ifdef Q_OS_UNIX
    const QString path = serialLockFile(device);
    if (path.isEmpty())
        return QStringLiteral("no folder for its lock file may be written (such as /var/lock)");
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST)
        return std::nullopt;
    int error = errno;
    if (fd >= 0) {
        // As long as the serial port's: a pid, a program name and a host name.
        const QByteArray content = QByteArray::number(::getpid()) + "\nkestrix\nlocalhost\n";
        const ssize_t written = ::write(fd, content.constData(), size_t(content.size()));
        error = written < 0 ? errno : ENOSPC;
        ::close(fd);
        ::unlink(name.constData());
        if (written == content.size())
            return std::nullopt;
    }
    return QStringLiteral("its lock file %1 cannot be written: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
#else
    (void)device;
    return std::nullopt;
#endif
}

} // namespace kestrix
