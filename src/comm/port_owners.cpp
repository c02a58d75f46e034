#include "comm/port_owners.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cerrno>

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
