#pragma once
// Who else has a serial device: other programs' lock files, a terminal held in exclusive mode,
// and the processes that have the device open. The channel asks before it opens a port, so
// that it never takes a port from another program, and names the holders when a check fails.

#include <QString>
#include <vector>

namespace kestrix {

// Why another program holds the device before this one opens it, for the message: a lock file
// naming a live process, or (for root, whom the mode does not stop) a terminal in exclusive
// mode. Empty when nothing says so.
QString heldElsewhere(const QString &device);

// A process that has a device open.
struct DeviceUser {
    qint64 pid = 0;
    QString name;   // as the system names the process (its "comm"), possibly with control characters
};

// The other processes that have `device` open, found through /proc/<pid>/fd on Linux (empty
// elsewhere, and without the processes this user may not inspect). A process holding the
// master side of a pseudo-terminal is the line's far end, not a user of the device, and is
// left out.
std::vector<DeviceUser> otherUsersOf(const QString &device);

} // namespace kestrix
