#pragma once
// Who else has a serial device: other programs' lock files, a terminal held in exclusive mode,
// and the processes that have the device open. The channel asks before it opens a port, so
// that it never takes a port from another program, and names the holders when a check fails.

#include <QString>
#include <optional>
#include <vector>

namespace kestrix {

// Why another program holds the device before this one opens it, for the message: a lock file
// naming a live process, or (for root, whom the mode does not stop) a terminal in exclusive
// mode. Empty when nothing says so.
QString heldElsewhere(const QString &device);

// Clears what a program that ended without closing the device left behind, so that it does not
// block the port: lock files of the device that name no process (empty, or no pid on their
// first line; a lock naming a live process stays, one naming an ended process is replaced by
// the serial port), and, where this user may, the exclusive mode of a terminal that no process
// has open (a run killed while it held the port leaves a pseudo-terminal so).
void releaseStaleHolds(const QString &device);

// The lock file the serial port takes for `device` as it opens it, e.g. /var/lock/LCK..pts_5:
// in the first of its lock folders that this user may read and that holds the file or may be
// written. Empty when there is none (and on systems without lock files).
QString serialLockFile(const QString &device);

// Why the serial port's lock file of `device` cannot be written ("/var/lock/LCK..pts_5: No
// space left on device"), found by writing one as the serial port would and removing it again;
// nothing when it can be written or is there already (held).
std::optional<QString> lockFileProblem(const QString &device);

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
