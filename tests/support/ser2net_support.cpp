#include "ser2net_support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace kestrix::testing {

namespace {

constexpr int StartMs = 10000;   // the server up and listening on every port
constexpr int ProbeMs = 20;      // between two looks at the listening sockets

// Whether something listens on 127.0.0.1:port, from the kernel's socket table: a connection
// to a ser2net port would open its device and change the line.
bool listening(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = QStringLiteral("0100007F:%1").arg(port, 4, 16, QLatin1Char('0')).toUpper().toLatin1();
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A")   // 0A: LISTEN
            return true;
    }
    return false;
}

} // namespace

QString schemeOf(NetMode mode)
{
    return mode == NetMode::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp");
}

QString ser2netProgram()
{
    const QStringList places{QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin"), QStringLiteral("/usr/bin")};
    QString found = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    return found.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("ser2net"), places) : found;
}

quint16 freeTcpPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    quint16 port = 0;
    if (::bind(s, reinterpret_cast<sockaddr *>(&address), size) == 0
        && ::getsockname(s, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(s);
    return port;
}

Ser2Net::Ser2Net(std::vector<Line> lines)
    : m_lines(std::move(lines))
{
    const QString program = ser2netProgram();
    if (program.isEmpty()) {
        m_error = QStringLiteral("ser2net is not installed");
        return;
    }
    // One connection per line; "local" ignores the modem lines a pseudo-terminal lacks.
    QByteArray yaml = "%YAML 1.1\n---\n";
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const quint16 port = freeTcpPort();
        m_ports.push_back(port);
        const QByteArray accepter = m_lines[i].mode == NetMode::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp";
        yaml += "connection: &line" + QByteArray::number(qulonglong(i)) + "\n  accepter: " + accepter
                + ",127.0.0.1," + QByteArray::number(port) + "\n  connector: serialdev," + m_lines[i].device.toUtf8()
                + ',' + QByteArray::number(m_lines[i].speed) + "n81,local\n";
    }
    const QString config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
    QFile file(config);
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(yaml) != yaml.size()) {
        m_error = QStringLiteral("cannot write %1").arg(config);
        return;
    }
    file.close();

    // -n: stays in the foreground, a child that can be killed and waited for.
    const QByteArray programPath = program.toLocal8Bit();
    const QByteArray configPath = config.toLocal8Bit();
    const QByteArray pidPath = m_dir.filePath(QStringLiteral("ser2net.pid")).toLocal8Bit();
    const QByteArray outputPath = m_dir.filePath(QStringLiteral("output.txt")).toLocal8Bit();
    char *const argv[] = {const_cast<char *>(programPath.constData()), const_cast<char *>("-n"),
                          const_cast<char *>("-c"), const_cast<char *>(configPath.constData()),
                          const_cast<char *>("-P"), const_cast<char *>(pidPath.constData()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        m_error = QStringLiteral("cannot start %1").arg(program);
        return;
    }
    m_pid = pid;

    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (std::all_of(m_ports.begin(), m_ports.end(), listening))
            return;
        int status = 0;
        if (::waitpid(pid_t(m_pid), &status, WNOHANG) == pid_t(m_pid)) {
            m_pid = 0;
            m_error = QStringLiteral("ser2net ended at start:\n%1").arg(output());
            return;
        }
        if (waited.elapsed() > StartMs) {
            m_error = QStringLiteral("ser2net did not listen on its ports within %1 ms:\n%2").arg(StartMs).arg(output());
            return;
        }
        QThread::msleep(ProbeMs);
    }
}

Ser2Net::~Ser2Net()
{
    kill();
}

QString Ser2Net::address(size_t line) const
{
    return QStringLiteral("%1://127.0.0.1:%2").arg(schemeOf(m_lines.at(line).mode)).arg(port(line));
}

void Ser2Net::kill()
{
    if (m_pid <= 0)
        return;
    ::kill(pid_t(m_pid), SIGKILL);
    int status = 0;
    while (::waitpid(pid_t(m_pid), &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = 0;
}

QString Ser2Net::output() const
{
    QFile file(m_dir.filePath(QStringLiteral("output.txt")));
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

} // namespace kestrix::testing
