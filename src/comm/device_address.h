#pragma once
// What a port number names: a local serial device by its path, or a board behind a network
// serial server, "rfc2217://host:port" (Telnet with the COM port option: line settings travel to
// the server) or "tcp://host:port" (raw bytes: the server's line settings are fixed). The host is
// an IPv4 address, a host name or an IPv6 address in brackets.

#include <QString>

namespace kestrix {

enum class DeviceKind { Local, Rfc2217, RawTcp };

struct DeviceAddress {
    DeviceKind kind = DeviceKind::Local;
    QString text;      // as written
    QString host;      // network devices only; an IPv6 address without its brackets
    quint16 tcpPort = 0;

    bool isNetwork() const { return kind != DeviceKind::Local; }
    // "10.0.0.7:2001", "[::1]:2001"
    QString hostAndPort() const;
};

struct ParsedDevice {
    DeviceAddress address;
    QString problem;   // empty when the text names a device

    bool ok() const { return problem.isEmpty(); }
};

// Reads a device text. A problem names what is wrong ("tcp://host: no port after the host"),
// also for a local path that config.ini would not give back as written (empty, with control
// characters, white space at either end, in quotes, longer than a value may be).
ParsedDevice parseDevice(const QString &text);

// The problem of a device text, empty when there is none.
QString deviceProblem(const QString &text);

// Whether the text is written as a network address (a scheme and "://"), well formed or not.
bool looksLikeNetworkDevice(const QString &text);

} // namespace kestrix
