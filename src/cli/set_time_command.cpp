#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "time/time_upload.h"

#include <QDate>
#include <QRegularExpression>

namespace kestrix::cli {
namespace {

// One group of "HH:MM:SS" or "DD.MM.YY": one or two digits within its range.
struct Part {
    Clock::Field field;
    int low;
    int high;
};

constexpr Part TimeParts[] = {{Clock::Hours, 0, 23}, {Clock::Minutes, 0, 59}, {Clock::Seconds, 0, 59}};
constexpr Part DateParts[] = {{Clock::Day, 1, 31}, {Clock::Month, 1, 12}, {Clock::Year, 0, 99}};

// Fills the parts' fields from `text` ("9:05:07" with ':'); false when it is malformed.
bool parseParts(const QString &text, QChar separator, const Part (&parts)[3], ClockValues &fields)
{
    const QStringList groups = text.split(separator);
    // Anchored at both ends: "$" alone would match before a final line feed.
    static const QRegularExpression digits(QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,2}")));
    if (groups.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        const QString &group = groups[i];
        if (!digits.match(group).hasMatch() || group.toInt() < parts[i].low || group.toInt() > parts[i].high)
            return false;
        fields[size_t(parts[i].field)] = group;
    }
    return true;
}

// A two-digit year is one of 2000-2099, as the board's clock counts them: 31.02 and 29.02 of a
// year that is not a leap year do not exist.
bool dateExists(const ClockValues &fields)
{
    return QDate(2000 + fields[Clock::Year].toInt(), fields[Clock::Month].toInt(), fields[Clock::Day].toInt()).isValid();
}

// The operands "HH:MM:SS W DD.MM.YY" as the manual dialog's field texts; a message otherwise.
bool parseClockOperands(const QStringList &operands, ClockValues &fields, QString *error)
{
    if (operands.size() != 3) {
        *error = QStringLiteral("set-time takes no operands or three: HH:MM:SS W DD.MM.YY");
        return false;
    }
    if (!parseParts(operands[0], QLatin1Char(':'), TimeParts, fields)) {
        *error = QStringLiteral("set-time: \"%1\" is not a time HH:MM:SS (00-23:00-59:00-59)").arg(operands[0]);
        return false;
    }
    static const QRegularExpression weekday(QRegularExpression::anchoredPattern(QStringLiteral("[0-6]")));
    if (!weekday.match(operands[1]).hasMatch()) {
        *error = QStringLiteral("set-time: \"%1\" is not a weekday 0-6 (0 is Sunday)").arg(operands[1]);
        return false;
    }
    fields[Clock::Weekday] = operands[1];
    if (!parseParts(operands[2], QLatin1Char('.'), DateParts, fields)) {
        *error = QStringLiteral("set-time: \"%1\" is not a date DD.MM.YY (01-31.01-12.00-99)").arg(operands[2]);
        return false;
    }
    if (!dateExists(fields)) {
        *error = QStringLiteral("set-time: there is no day %1 (years 2000-2099)").arg(operands[2]);
        return false;
    }
    return true;
}

int uploadPcClock(const Options &options)
{
    return withBoard(options, [](Operation &operation, const SerialSettings &) {
        const Outcome outcome = operation.run(pcTimeUploadJob()).ending.outcome;
        if (outcome == Outcome::CommunicationFailed)
            printStatus(QStringLiteral("No board answered the communication test; the time frames were sent all the same."));
        return exitStatusOf(outcome);
    });
}

} // namespace

// Without operands the PC's local time with "DLS"; with "HH:MM:SS W DD.MM.YY" those values,
// as the manual time dialog sends them.
int runSetTime(const Options &options)
{
    if (options.operands.isEmpty())
        return uploadPcClock(options);
    ClockValues fields;
    QString error;
    if (!parseClockOperands(options.operands, fields, &error))
        return usageErrorOf(error);
    return withBoard(options, [&fields](Operation &operation, const SerialSettings &) {
        return exitStatusOf(operation.run(manualTimeUploadJob(fields)).ending.outcome);
    });
}

} // namespace kestrix::cli
