#include "cli/cli_options.h"

#include "base/config_file.h"
#include "comm/device_address.h"
#include "comm/trace.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <algorithm>

namespace kestrix::cli {
namespace {

// Port used for a device given by name.
constexpr int DevicePort = 1;

// --data-dir is taken out before parsing (the language tables need it first); it is listed for
// the usage text.
constexpr GlobalOption GlobalOptions[] = {
    {"port", "N", "port number 1-20 (COM<N>; its device comes from config.ini [Ports]); several boards at "
                  "once: 3,5,7 or 3-9"},
    {"ports", "configured", "every board of config.ini [Ports] whose device exists or is a network address"},
    {"device", "DEVICE", "a serial device by name, e.g. /dev/ttyUSB0, or a network serial server: "
                         "rfc2217://host:port, tcp://host:port; repeat it for several boards"},
    {"speed", "BPS", "2400, 4800, 9600 or 19200"},
    {"data-dir", "DIR", "folder of config.ini and the language files"},
    {"trace", "FILE", "write every frame sent and every answer received to FILE"},
};

} // namespace

std::span<const GlobalOption> globalOptions()
{
    return GlobalOptions;
}

namespace {

QCommandLineOption optionOf(const char *name, const char *valueName, const char *description)
{
    if (!valueName)
        return QCommandLineOption(QLatin1String(name), QLatin1String(description));
    return QCommandLineOption(QLatin1String(name), QLatin1String(description), QLatin1String(valueName));
}

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

const Command *findCommand(const QString &name)
{
    for (const Command &command : commandTable()) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

bool ownsOption(const Command &command, const QString &name)
{
    for (const CommandOption &option : command.options) {
        if (name == QLatin1String(option.name))
            return true;
    }
    return false;
}

bool isGlobal(const QString &name)
{
    for (const GlobalOption &option : GlobalOptions) {
        if (name == QLatin1String(option.name))
            return true;
    }
    return name == QLatin1String("help") || name == QLatin1String("h");
}

void addCommandOptions(QCommandLineParser &parser, const Command &command, QStringList &added)
{
    for (const CommandOption &option : command.options) {
        if (added.contains(QLatin1String(option.name)))
            continue;
        added << QLatin1String(option.name);
        parser.addOption(optionOf(option.name, option.valueName, option.description));
    }
}

// Every option any command takes, so one parse finds them all; each is then checked against
// the command that was given. Two commands may give one name different forms (download's
// "--save FILE", alarms' "--save"): the given command's own form comes first.
void addAllOptions(QCommandLineParser &parser, const Command *given)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("show this text")));
    for (const GlobalOption &option : GlobalOptions)
        parser.addOption(optionOf(option.name, option.valueName, option.description));
    QStringList added;
    if (given)
        addCommandOptions(parser, *given, added);
    for (const Command &command : commandTable())
        addCommandOptions(parser, command, added);
}

// A negative number ("-1.5", "-5") is an operand or an option's value, never an option: it is
// marked for the parser and unmarked after.
const QChar NegativeNumberMark(0x1f);

QStringList markNegativeNumbers(QStringList arguments)
{
    static const QRegularExpression negativeNumber(QStringLiteral("^-(\\d|\\.\\d)"));
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (negativeNumber.match(arguments[i]).hasMatch())
            arguments[i].prepend(NegativeNumberMark);
    }
    return arguments;
}

QString unmarked(QString text)
{
    if (text.startsWith(NegativeNumberMark))
        text.remove(0, 1);
    return text;
}

QStringList unmarked(QStringList texts)
{
    for (QString &text : texts)
        text = unmarked(text);
    return texts;
}

// The command a command line names: its first operand, whatever the forms of the options.
const Command *namedCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    addAllOptions(parser, nullptr);
    parser.parse(arguments);
    return findCommand(parser.positionalArguments().value(0));
}

bool takeDevices(const QCommandLineParser &parser, Options &options, QString *error)
{
    options.devices = parser.values(QStringLiteral("device"));
    for (qsizetype i = 0; i < options.devices.size(); ++i) {
        const QString &device = options.devices[i];
        if (const QString problem = deviceProblem(device); !problem.isEmpty()) {
            *error = QStringLiteral("--device \"%1\": %2").arg(CommTrace::printableText(device), problem);
            return false;
        }
        if (options.devices.indexOf(device) < i) {
            *error = QStringLiteral("--device \"%1\" is named twice; one board runs one job at a time")
                         .arg(CommTrace::printableText(device));
            return false;
        }
    }
    if (options.devices.size() == 1)
        options.device = options.devices.front();
    return true;
}

bool takePorts(const QCommandLineParser &parser, Options &options, QString *error)
{
    const bool configured = parser.isSet(QStringLiteral("ports"));
    if (configured && parser.value(QStringLiteral("ports")) != QLatin1String("configured")) {
        *error = QStringLiteral("--ports takes only \"configured\", not \"%1\"").arg(parser.value(QStringLiteral("ports")));
        return false;
    }
    if (configured && parser.isSet(QStringLiteral("port"))) {
        *error = QStringLiteral("--ports configured and --port cannot be given together");
        return false;
    }
    if (configured) {
        options.ports = configuredPorts();
        if (options.ports.empty()) {
            *error = QStringLiteral("--ports configured: config.ini [Ports] names no device that exists or is a "
                                    "network address");
            return false;
        }
    } else if (parser.isSet(QStringLiteral("port"))
               && !parsePortList(unmarked(parser.values(QStringLiteral("port")).join(u',')), options.ports, error)) {
        *error = QStringLiteral("--port: ") + *error;
        return false;
    }
    if (options.ports.size() == 1)
        options.port = options.ports.front();
    return true;
}

bool takeGlobalOptions(const QCommandLineParser &parser, Options &options, QString *error)
{
    if (!takePorts(parser, options, error) || !takeDevices(parser, options, error))
        return false;
    if ((options.ports.size() > 1 && !options.devices.isEmpty())
        || (options.devices.size() > 1 && !options.ports.empty())) {
        *error = QStringLiteral("several boards are named either by --port or by --device, not both");
        return false;
    }
    if (parser.isSet(QStringLiteral("speed"))
        && !lineSpeed(unmarked(parser.value(QStringLiteral("speed"))), options.speed, error))
        return false;
    options.traceFile = parser.value(QStringLiteral("trace"));
    return true;
}

bool takeCommandOptions(const QCommandLineParser &parser, const Command &command, Options &options, QString *error)
{
    for (const QString &name : parser.optionNames()) {
        if (isGlobal(name) || options.flags.contains(name))
            continue;
        if (!ownsOption(command, name)) {
            *error = QStringLiteral("--%1 is not an option of %2").arg(name, QLatin1String(command.name));
            return false;
        }
        // optionNames() lists a repeated option once per use; values() holds all of them.
        const QStringList given = unmarked(parser.values(name));
        for (const QString &value : given.isEmpty() ? QStringList{QString()} : given) {
            options.flags << name;
            options.values << value;
        }
    }
    return true;
}

bool checkOperandCount(const Command &command, const Options &options, QString *error)
{
    const int count = int(options.operands.size());
    if (count >= command.minOperands && count <= command.maxOperands)
        return true;
    if (count > command.maxOperands)
        *error = QStringLiteral("unexpected argument %1").arg(options.operands.value(command.maxOperands));
    else
        *error = QStringLiteral("%1 needs %2").arg(QLatin1String(command.name), QLatin1String(command.operands));
    return false;
}

} // namespace

QString Options::value(const QString &flag) const
{
    const qsizetype at = flags.lastIndexOf(flag);
    return at < 0 ? QString() : values.value(at);
}

QStringList Options::valuesOf(const QString &flag) const
{
    QStringList found;
    for (qsizetype i = 0; i < flags.size(); ++i) {
        if (flags[i] == flag)
            found << values.value(i);
    }
    return found;
}

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

bool parsePortList(const QString &text, std::vector<int> &ports, QString *error)
{
    ports.clear();
    for (const QString &part : text.split(u',')) {
        const qsizetype dash = part.indexOf(u'-', 1);
        int first = 0;
        int last = 0;
        if (!parsePortNumber(dash < 0 ? part : part.left(dash), first, error)
            || !parsePortNumber(dash < 0 ? part : part.mid(dash + 1), last, error))
            return false;
        if (last < first) {
            *error = QStringLiteral("the range \"%1\" runs backwards").arg(part);
            return false;
        }
        for (int port = first; port <= last; ++port) {
            if (std::ranges::find(ports, port) != ports.end()) {
                *error = QStringLiteral("COM%1 is named twice; one board runs one job at a time").arg(port);
                return false;
            }
            ports.push_back(port);
        }
    }
    return true;
}

const Command *parseCommandLine(const QStringList &givenArguments, Options &options, bool &help, QString *error)
{
    const QStringList arguments = markNegativeNumbers(givenArguments);
    QCommandLineParser parser;
    addAllOptions(parser, namedCommand(arguments));
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return nullptr;
    }
    help = parser.isSet(QStringLiteral("help"));
    if (help)
        return nullptr;
    QStringList positional = unmarked(parser.positionalArguments());
    if (positional.isEmpty()) {
        *error = QStringLiteral("no command given");
        return nullptr;
    }
    options.command = positional.takeFirst();
    options.operands = positional;
    const Command *command = findCommand(options.command);
    if (!command) {
        *error = QStringLiteral("unknown command %1").arg(options.command);
        return nullptr;
    }
    if (!takeGlobalOptions(parser, options, error) || !takeCommandOptions(parser, *command, options, error)
        || !checkOperandCount(*command, options, error))
        return nullptr;
    return command;
}

QString usage()
{
    QString text = QStringLiteral("Usage: kestrix-cli [options] <command> [operands]\n\nCommands:\n");
    for (const Command &command : commandTable()) {
        const QString synopsis = QString::fromLatin1(command.name)
            + (*command.operands ? QStringLiteral(" ") + QLatin1String(command.operands) : QString());
        text += QStringLiteral("  %1\n      %2\n").arg(synopsis, QLatin1String(command.summary));
        for (const CommandOption &option : command.options) {
            const QString name = QStringLiteral("--") + QLatin1String(option.name)
                + (option.valueName ? QStringLiteral(" ") + QLatin1String(option.valueName) : QString());
            text += QStringLiteral("      %1  %2\n").arg(name, -18).arg(QLatin1String(option.description));
        }
    }
    text += QStringLiteral("\nOptions:\n");
    for (const GlobalOption &option : GlobalOptions) {
        const QString name = QStringLiteral("--%1 %2").arg(QLatin1String(option.name), QLatin1String(option.valueName));
        text += QStringLiteral("  %1  %2\n").arg(name, -16).arg(QLatin1String(option.description));
    }
    text += QStringLiteral("  %1  show this text\n").arg(QStringLiteral("--help"), -16);
    text += QStringLiteral(
        "\n"
        "Without --port, --device and --speed the port and speed come from config.ini, as in\n"
        "every window of the utility. Status lines go to standard error, results to standard\n"
        "output. Ctrl-C stops a board operation before its next frame. Exit status: 0 success,\n"
        "1 no board answered, 2 the port could not be opened, 3 wrong usage, 130 cancelled.\n"
        "\n"
        "With several boards (--port 3,5,7, --port 3-9, --device repeated, --ports configured)\n"
        "the command runs on all of them at once. Each line starts with the board's name\n"
        "(config.ini [Boards] COM3=Hall north) or port, a summary table follows, and the exit\n"
        "status is 0 only when every board succeeded, else the worst board's (130, then the\n"
        "highest). download --save DIR writes one file per board into the folder DIR.\n");
    return text;
}

SerialSettings resolveSettings(const Options &options)
{
    SerialSettings settings = readSerialSettings();
    // An unreadable config.ini gives no port unless the options name the device and the speed
    // themselves: a port number or speed taken from the defaults instead of the file would talk
    // to a device or at a rate nobody chose. withBoard then names the file and the reason.
    if (!configReadError().isEmpty() && (options.device.isEmpty() || options.speed == 0))
        return SerialSettings{0, settings.speed};
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
