#include "cli/cli_options.h"

namespace kestrix::cli {
namespace {

// Port used for a device given by name.
constexpr int DevicePort = 1;

bool takeNumber(const QString &text, int &number)
{
    bool ok = false;
    number = text.toInt(&ok);
    return ok;
}

bool lineSpeed(const QString &text, int &speed, QString *error)
{
    if (takeNumber(text, speed) && speedIndex(speed) >= 0)
        return true;
    *error = QStringLiteral("--speed needs 2400, 4800, 9600 or 19200, not \"%1\"").arg(text);
    return false;
}

} // namespace

bool parsePortNumber(const QString &text, int &port, QString *error)
{
    QString digits = text;
    if (digits.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        digits = digits.mid(3);
    if (takeNumber(digits, port) && port >= 1 && port <= PortCount)
        return true;
    *error = QStringLiteral("a port number from 1 to 20 is needed, not \"%1\"").arg(text);
    return false;
}

bool parseOptions(const QStringList &arguments, Options &options, QString *error)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.help = true;
        } else if (argument == QLatin1String("--port") || argument == QLatin1String("--device")
                   || argument == QLatin1String("--speed") || argument == QLatin1String("--trace")) {
            if (!hasValue) {
                *error = argument + QStringLiteral(" needs a value");
                return false;
            }
            const QString value = arguments[++i];
            if (argument == QLatin1String("--port") && !parsePortNumber(value, options.port, error)) {
                *error = QStringLiteral("--port: ") + *error;
                return false;
            }
            if (argument == QLatin1String("--speed") && !lineSpeed(value, options.speed, error))
                return false;
            if (argument == QLatin1String("--device"))
                options.device = value;
            if (argument == QLatin1String("--trace"))
                options.traceFile = value;
        } else if (argument.startsWith(QLatin1String("-"))) {
            *error = QStringLiteral("unknown option %1").arg(argument);
            return false;
        } else if (options.command.isEmpty()) {
            options.command = argument;
        } else {
            options.operands.append(argument);
        }
    }
    return true;
}

QString usage()
{
    return QStringLiteral(
        "Usage: kestrix-cli [options] <command>\n"
        "\n"
        "Commands:\n"
        "  check      run the communication test on the configured port and speed\n"
        "  versions   read the board's software and hardware versions\n"
        "  scan       try every port (COM1-COM20) at every speed and store the last one\n"
        "             at which a board answers in config.ini\n"
        "  map-port N DEVICE\n"
        "             name the device of port COM<N> in config.ini [Ports]\n"
        "  config-path\n"
        "             print where config.ini is\n"
        "\n"
        "Options:\n"
        "  --port N         port number 1-20 (COM<N>; its device comes from config.ini [Ports])\n"
        "  --device PATH    a serial device by name, e.g. /dev/ttyUSB0\n"
        "  --speed BPS      2400, 4800, 9600 or 19200\n"
        "  --data-dir DIR   folder of config.ini and the language files\n"
        "  --trace FILE     write every frame sent and every answer received to FILE\n"
        "  --help           show this text\n"
        "\n"
        "Without --port, --device and --speed the port and speed come from config.ini, as in\n"
        "every window of the utility. Status lines go to standard error, results to standard\n"
        "output. Exit status: 0 success, 1 no board answered, 2 the port could not be opened,\n"
        "3 wrong usage.\n");
}

SerialSettings resolveSettings(const Options &options)
{
    SerialSettings settings = readSerialSettings();
    if (options.port > 0)
        settings.port = options.port;
    if (!options.device.isEmpty()) {
        if (options.port == 0)
            settings.port = DevicePort;
        overrideDeviceForPort(settings.port, options.device);
    }
    if (options.speed > 0)
        settings.speed = options.speed;
    return settings;
}

} // namespace kestrix::cli
