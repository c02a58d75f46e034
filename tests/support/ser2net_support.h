#pragma once
// ser2net, the network serial server, in front of local serial devices (a simulated board's
// pseudo-terminal): one connection per line, each on a free TCP port of 127.0.0.1, either
// Telnet with the RFC 2217 COM port option or raw TCP. The server writes its configuration in a
// folder of its own and is stopped (killed and waited for) when the object goes.
//
// No GoogleTest in here: comm_bench starts the same server.

#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>
#include <vector>

namespace kestrix::testing {

enum class NetMode { Rfc2217, RawTcp };

// "rfc2217" or "tcp": the scheme of a device text.
QString schemeOf(NetMode mode);

// The path of the ser2net program, empty when it is not installed.
QString ser2netProgram();

// A TCP port of 127.0.0.1 that nobody listened on a moment ago: bound with port 0, read, closed.
quint16 freeTcpPort();

class Ser2Net {
public:
    struct Line {
        NetMode mode;
        QString device;    // e.g. "/dev/pts/5"
        int speed = 9600;  // the line's speed when a client opens it (RFC 2217 clients change it)
    };

    // Starts the server and waits until every port accepts connections; started() tells.
    explicit Ser2Net(std::vector<Line> lines);
    ~Ser2Net();
    Ser2Net(const Ser2Net &) = delete;
    Ser2Net &operator=(const Ser2Net &) = delete;

    bool started() const { return m_pid > 0 && m_error.isEmpty(); }
    QString error() const { return m_error; }  // why it did not start, with the server's output

    quint16 port(size_t line) const { return m_ports.at(line); }
    // "rfc2217://127.0.0.1:40123" or "tcp://127.0.0.1:40124", as --device takes it.
    QString address(size_t line) const;

    // Kills the server at once (SIGKILL), as a server that goes away, and waits for it.
    void kill();
    // What the server printed so far.
    QString output() const;

private:
    std::vector<Line> m_lines;
    std::vector<quint16> m_ports;
    QTemporaryDir m_dir;
    qint64 m_pid = 0;
    QString m_error;
};

} // namespace kestrix::testing
