#pragma once
// A window's serial settings as config.ini keeps them ("Port" and "Baud" of [Settings]) and the
// devices behind the port numbers ([Ports] COM<n>=<device>, else the platform's defaults).

#include <QString>
#include <array>
#include <vector>

namespace kestrix {

// The line speeds the boards use, in the order the configuration file indexes them.
inline constexpr int SpeedTable[] = {2400, 4800, 9600, 19200};
inline constexpr int PortCount = 20;

// Index of a speed in SpeedTable, or -1.
int speedIndex(int speed);

// A window's serial settings. Port 0 is no port: every exchange then fails with the
// communication error, which is what a fresh installation shows until a port is chosen.
struct SerialSettings {
    int port = 0;
    int speed = 9600;

    friend bool operator==(const SerialSettings &, const SerialSettings &) = default;
};

// Updates `settings` from "Port" and "Baud" of [Settings], each read as its leading decimal
// number ("2 ; COM3" is 2): a key that is absent, empty or without a number, or a Baud outside
// 0..3, leaves that member as it was.
void readSerialSettings(SerialSettings &settings);
SerialSettings readSerialSettings();

// Writes "Port" = port - 1 and "Baud" = the speed's index; the reason of a failure goes to
// *error.
bool writeSerialSettings(const SerialSettings &settings, QString *error = nullptr);

// The device of each port number 1..20, read from config.ini once, so that an operation that
// opens its port many times (a scan opens it 160 times) does not read the file each time.
class PortDevices {
public:
    PortDevices();   // the platform's defaults only
    static PortDevices fromConfig();

    // Empty for a number outside 1..20.
    QString device(int port) const;
    void setDevice(int port, const QString &device);

private:
    std::array<QString, PortCount> m_devices;
};

// Device name of a port number 1..20 as config.ini and the overrides give it now.
QString deviceForPort(int port);
// The platform's default (COM1-4 /dev/ttyS0-3, COM5-12 /dev/ttyUSB0-7, COM13-20
// /dev/ttyACM0-7 on Linux; COM<n> on Windows). Empty for a number outside 1..20.
QString defaultDeviceForPort(int port);

// Names the device of a port for this process only, ahead of config.ini (the command line's
// --device). An empty device removes the override.
void overrideDeviceForPort(int port, const QString &device);
// Removes every override.
void clearDeviceOverrides();

// Writes [Ports] COM<n>=<device>; the reason of a failure goes to *error.
bool mapPortToDevice(int port, const QString &device, QString *error = nullptr);

// A board's own name from config.ini [Boards] COM<n>=<name> ("Hall north"), trimmed; empty
// when it has none.
QString boardName(int port);
// What output calls a board: its name with control characters spelled out, else COM<n>.
QString boardLabel(int port);
// The ports of the [Ports] entries whose device exists or is a network address, in order.
std::vector<int> configuredPorts();

} // namespace kestrix
