#pragma once
// BoardLine: an open line to a board, a local serial device or a connection to a network serial
// server. The serial channel speaks through it and does not know which it is.

#include <QByteArray>
#include <QString>

namespace kestrix {

// Why the last Open failed, for messages that name the device and the reason.
enum class OpenFailure {
    None,
    BadPortNumber,    // -1
    NoSuchDevice,     // -2
    Busy,             // -2: held by this or another program (lock file, exclusive mode, lock)
    PermissionDenied, // -2
    OtherDeviceError, // -2
    LockFileUnwritable, // -2: the lock file cannot be written (a full disk, a file size limit)
    TimeoutsRefused,  // -3
    BadDevice,        // -2: the device text names no device
    Unreachable,      // -2: no connection to the network serial server
    ServerRefused,    // -2: the server does not serve the line as asked
};


class BoardLine {
public:
    virtual ~BoardLine() = default;

    virtual bool isOpen() const = 0;
    // Throws away what the board sent and nobody read (and what a server holds for us).
    virtual void discardInput() = 0;
    // Writes all bytes and waits until they have left; false when the line failed.
    virtual bool write(const QByteArray &bytes) = 0;
    // Up to `count` bytes: waits at most `firstByteTimeoutMs` for the first, then returns at once
    // with what has arrived. 0 when nothing came.
    virtual int read(char *buffer, int count, int firstByteTimeoutMs) = 0;
    virtual void close() = 0;
    // What a server said as it turned us away ("Port already in use"), empty otherwise.
    virtual QString refusal() const { return {}; }
};

} // namespace kestrix
