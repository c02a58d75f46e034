// kestrix-cli display currency|currency-code|intensity|test|time: the display operations that
// other programs use through the exported library, on the configured port. Each opens the
// channel, runs one operation and closes it; exit 0 when the board accepted (">"), 1 otherwise.
// The time text takes no answer: exit 0 there only means it was written.

#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "comm/trace.h"

#include "export/display_exchange.h"

#include <QDateTime>
#include <QRegularExpression>
#include <array>
#include <optional>

namespace kestrix::cli {

namespace {

using display::DisplayExchange;

// Operands as given after the action's name.
using Operands = QStringList;
// The operation on the open channel: the board's answer, or whether it accepted.
using DisplayCall = std::function<int(DisplayExchange &)>;

std::optional<int> integerOf(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<double> numberOf(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

// A kind or type as its number, or as its letter through `table`.
std::optional<int> codeOf(const QString &text, std::optional<int> (*table)(std::string_view))
{
    const std::optional<int> number = integerOf(text);
    return number ? number : table(text.toStdString());
}

// "06:30" as hours and minutes of a day; the operand has the form HH:MM already.
std::optional<std::pair<int, int>> timeOfDayOf(const QString &text)
{
    const int hours = text.section(QLatin1Char(':'), 0, 0).toInt();
    const int minutes = text.section(QLatin1Char(':'), 1, 1).toInt();
    if (hours > 23 || minutes > 59)
        return std::nullopt;
    return std::pair(hours, minutes);
}

// The board's answer character as a number 0-255 (0: none).
int answerCode(char answer)
{
    return static_cast<unsigned char>(answer);
}

// The answer character as the result line: ">", "?" ... or "(no answer)".
QString answerText(int answer)
{
    if (answer == 0)
        return QStringLiteral("(no answer)");
    if (answer < 0x20 || answer > 0x7e)
        return QStringLiteral("<%1>").arg(answer, 2, 16, QLatin1Char('0'));
    return QString(QChar(answer));
}

// Input the operation would refuse without sending anything: said, and nothing is opened.
int refused(const QString &message)
{
    printStatus(message + QStringLiteral(" Nothing was sent."));
    return NoBoard;
}

// Whether the board answers the operation's line. The time text goes out unanswered, so only
// its write can be known.
enum class Reply { Answered, Unconfirmed };

// What the command line says after `call` gave `answer`, and the exit status.
int reportAnswer(int answer, Reply reply)
{
    if (reply == Reply::Unconfirmed) {
        if (answer != display::Accepted)
            printStatus(QStringLiteral("The time text could not be written."));
        return answer == display::Accepted ? int(Success) : int(NoBoard);
    }
    printResult(answerText(answer));
    if (answer != display::Accepted)
        printStatus(answer == 0 ? QStringLiteral("The board did not answer.")
                                : QStringLiteral("The board did not accept the line."));
    return answer == display::Accepted ? int(Success) : int(NoBoard);
}

// Opens the channel, runs `call`, closes; reports the answer and gives the exit status.
int runOnBoard(const Options &options, const DisplayCall &call, Reply reply = Reply::Answered)
{
    return withBoard(options, [&call, reply](Operation &operation, const SerialSettings &settings) {
        SerialChannel &channel = operation.channel();
        if (channel.Open(settings.port, settings.speed) != SerialChannel::Opened)
            return int(PortFailure);
        DisplayExchange exchange(channel);
        exchange.setCancelCheck([&operation] { return operation.cancelled(); });
        exchange.setTimeConfirmation([](const std::string &text) { printResult(QString::fromStdString(text)); });
        const int answer = call(exchange);
        channel.Close();
        return reportAnswer(answer, reply);
    });
}

int currency(const Options &options, const Operands &operands)
{
    const auto line = integerOf(operands[0]);
    const auto kind = codeOf(operands[1], display::kindOfText);
    const auto first = numberOf(operands[2]);
    const auto second = numberOf(operands[3]);
    if (!line || !kind || !first || !second)
        return usageErrorOf(QStringLiteral("display currency: LINE is a whole number, KIND a number or U, I or B, "
                                           "VALUE1 and VALUE2 numbers"));
    if (!display::kindLetter(*kind))
        return refused(QStringLiteral("Kind %1 is not 0 (U), 1 (I) or 2 (B).").arg(*kind));
    return runOnBoard(options, [=](DisplayExchange &exchange) {
        return answerCode(exchange.setCurrency(*line, *kind, *first, *second));
    });
}

int currencyCode(const Options &options, const Operands &operands)
{
    const std::string code = operands[0].toStdString();
    const std::string kind = operands[1].toStdString();
    const auto first = numberOf(operands[2]);
    const auto second = numberOf(operands[3]);
    if (!first || !second)
        return usageErrorOf(QStringLiteral("display currency-code: VALUE1 and VALUE2 are numbers"));
    if (!display::currencyLine(code))
        return refused(QStringLiteral("\"%1\" is not one of EUR, ATS, FRF, DEM, ITL, CAD, CHF, GBR, USD.").arg(operands[0]));
    if (!display::kindOfText(kind))
        return refused(QStringLiteral("\"%1\" is not U, I or B.").arg(operands[1]));
    return runOnBoard(options, [=](DisplayExchange &exchange) {
        return exchange.setCurrency(code, kind, *first, *second) ? int(display::Accepted) : 0;
    });
}

int intensity(const Options &options, const Operands &operands)
{
    const auto address = integerOf(operands[0]);
    const auto type = codeOf(operands[1], display::typeOfText);
    if (!address || !type)
        return usageErrorOf(QStringLiteral("display intensity: ADDRESS is a whole number, TYPE a number or U, I or A"));
    display::BrightnessTimes times;
    if (operands.size() == 4) {
        const auto from = timeOfDayOf(operands[2]);
        const auto to = timeOfDayOf(operands[3]);
        if (!from || !to)
            return usageErrorOf(QStringLiteral("display intensity: the times are HH:MM, 00:00 to 23:59"));
        times = {from->first, from->second, to->first, to->second};
    } else if (operands.size() != 2 || *type == 2) {
        return usageErrorOf(QStringLiteral("display intensity: type 2 takes two times, HH:MM HH:MM"));
    }
    if (!display::typeLetter(*type))
        return refused(QStringLiteral("Type %1 is not 0 (U), 1 (I) or 2 (A).").arg(*type));
    return runOnBoard(options, [=](DisplayExchange &exchange) {
        return answerCode(exchange.setIntensity(*address, *type, times));
    });
}

int test(const Options &options, const Operands &)
{
    return runOnBoard(options, [](DisplayExchange &exchange) { return answerCode(exchange.test()); });
}

int time(const Options &options, const Operands &operands)
{
    const QDateTime when = operands.isEmpty() ? QDateTime::currentDateTime()
                                              : QDateTime::fromString(operands[0], Qt::ISODate);
    if (!when.isValid())
        return usageErrorOf(QStringLiteral("display time: the time is YYYY-MM-DDTHH:MM:SS, not \"%1\"").arg(operands[0]));
    const QDate date = when.date();
    const QTime clock = when.time();
    const display::TimeFields fields{unsigned(clock.second()), unsigned(clock.minute()), unsigned(clock.hour()),
                                     unsigned(date.day()), unsigned(date.month()), unsigned(date.year())};
    return runOnBoard(
        options, [fields](DisplayExchange &exchange) { return answerCode(exchange.setTime(fields)); },
        Reply::Unconfirmed);
}

// An operand's name in the usage and the form it must have as a whole, before anything is
// sent: a value reaches a line for the board only when nothing but this form is in it.
struct OperandForm {
    const char *name;
    const char *pattern;
};

constexpr OperandForm Place{"a whole number 0-99", "\\d{1,2}"};
constexpr OperandForm Code{"a whole number or a letter", "\\d{1,9}|[A-Za-z]"};
constexpr OperandForm Value{"a decimal number", "[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d{1,3})?"};
constexpr OperandForm Currency{"three letters", "[A-Za-z]{3}"};
constexpr OperandForm Letter{"a letter", "[A-Za-z]"};
constexpr OperandForm TimeOfDay{"HH:MM", "\\d{1,2}:\\d{2}"};
constexpr OperandForm Moment{"YYYY-MM-DDTHH:MM:SS", "\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}"};

constexpr int MostOperands = 4;

struct DisplayAction {
    const char *name;
    int minOperands;
    int maxOperands;
    const char *usage;
    std::array<OperandForm, MostOperands> forms;
    int (*run)(const Options &, const Operands &);
};

constexpr DisplayAction Actions[] = {
    {"currency", 4, 4, "LINE KIND VALUE1 VALUE2", {Place, Code, Value, Value}, currency},
    {"currency-code", 4, 4, "CODE KIND VALUE1 VALUE2", {Currency, Letter, Value, Value}, currencyCode},
    {"intensity", 2, 4, "ADDRESS TYPE [HH:MM HH:MM]", {Place, Code, TimeOfDay, TimeOfDay}, intensity},
    {"test", 0, 0, "", {}, test},
    {"time", 0, 1, "[YYYY-MM-DDTHH:MM:SS]", {Moment}, time},
};

// The usage error for the first operand that is not wholly of its form; 0 when all are.
int malformedOperand(const DisplayAction &action, const Operands &operands)
{
    for (int i = 0; i < operands.size(); ++i) {
        const OperandForm &form = action.forms[size_t(i)];
        const QRegularExpression whole(QRegularExpression::anchoredPattern(QLatin1String(form.pattern)));
        if (!whole.match(operands[i]).hasMatch())
            return usageErrorOf(QStringLiteral("display %1: \"%2\" is not %3; nothing was sent")
                                    .arg(QLatin1String(action.name), CommTrace::printableText(operands[i]),
                                         QLatin1String(form.name)));
    }
    return Success;
}

} // namespace

int runDisplay(const Options &options)
{
    const QString name = options.operands.value(0);
    const Operands operands = options.operands.mid(1);
    for (const DisplayAction &action : Actions) {
        if (name != QLatin1String(action.name))
            continue;
        if (operands.size() < action.minOperands || operands.size() > action.maxOperands)
            return usageErrorOf(QStringLiteral("usage: display %1 %2").arg(name, QLatin1String(action.usage)));
        if (const int malformed = malformedOperand(action, operands))
            return malformed;
        return action.run(options, operands);
    }
    return usageErrorOf(QStringLiteral("display: the operation is currency, currency-code, intensity, test or time, "
                                       "not \"%1\"").arg(name));
}

} // namespace kestrix::cli
