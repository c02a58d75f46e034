// kestrix-cli time-server [--server ADDRESS] [--timezone N] [--print]: asks a Time Protocol server
// for the time, prints it and the clock fields of the time zone, and uploads those fields as the
// NTP dialog's reply does (W000-W006, no "DLS").

#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "time/time_server.h"
#include "time/time_server_client.h"

#include <QEventLoop>
#include <QTimer>

namespace kestrix::cli {

namespace {

const QString ServerOption = QStringLiteral("server");
const QString TimeZoneOption = QStringLiteral("timezone");
const QString PrintFlag = QStringLiteral("print");
// How often the wait for the answer looks for Ctrl-C.
constexpr int InterruptPollMs = 100;

struct Request {
    ServerAddress server;
    int offsetHours = 0;
};

// The time zone of --timezone, else TimeZone of config.ini (a warning when that is no zone: the
// nearest one, or 0, is used); nothing, with a message, when --timezone is wrong.
std::optional<int> timeZoneOf(const Options &options, QString *error)
{
    if (!options.has(TimeZoneOption)) {
        QString warning;
        const int offset = configuredTimeZone(&warning);
        if (!warning.isEmpty())
            printStatus(warning);
        return offset;
    }
    bool ok = false;
    const int offset = options.value(TimeZoneOption).toInt(&ok);
    if (ok && offset >= MinTimeZoneOffset && offset <= MaxTimeZoneOffset)
        return offset;
    *error = QStringLiteral("time-server: the time zone \"%1\" is not whole hours from %2 to %3")
                 .arg(options.value(TimeZoneOption))
                 .arg(MinTimeZoneOffset)
                 .arg(MaxTimeZoneOffset);
    return std::nullopt;
}

// The server of --server, else NTPServer1 of config.ini, and the time zone. A message when the
// address (naming what is wrong with it) or --timezone is wrong, or no server is named anywhere.
std::optional<Request> requestOf(const Options &options, QString *error)
{
    const QString address = options.has(ServerOption)
                                ? options.value(ServerOption)
                                : configFile().read(QStringLiteral("Settings"), QStringLiteral("NTPServer1"));
    if (address.trimmed().isEmpty()) {
        *error = QStringLiteral("time-server: no server is configured (NTPServer1 in config.ini); give --server ADDRESS");
        return std::nullopt;
    }
    QString problem;
    const std::optional<ServerAddress> server = parseServerAddress(address, &problem);
    if (!server) {
        *error = QStringLiteral("time-server: %1; give HOST, HOST:PORT or [IPV6]:PORT").arg(problem);
        return std::nullopt;
    }
    const std::optional<int> offset = timeZoneOf(options, error);
    return offset ? std::optional<Request>(Request{*server, *offset}) : std::nullopt;
}

struct Answer {
    std::optional<std::uint32_t> seconds;
    QString failure;   // the localised message and its detail when the server did not answer
};

// One request, waited for on an event loop of its own; Ctrl-C stops the wait.
Answer ask(const ServerAddress &server, const Reporter &reporter)
{
    TimeServerClient client;
    Answer answer;
    QObject::connect(&client, &TimeServerClient::replied, [&answer](std::uint32_t seconds, const QString &) {
        answer.seconds = seconds;
    });
    QObject::connect(&client, &TimeServerClient::failed,
                     [&answer](TimeServerClient::Failure failure, const QString &detail) {
                         answer.failure = QStringLiteral("%1 (%2)").arg(LookupText(TimeServerClient::textOf(failure)), detail);
                     });
    QTimer interruptPoll;
    interruptPoll.start(InterruptPollMs);
    client.request(server);
    QEventLoop loop;
    while (client.outstanding() > 0 && !reporter.cancelled())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    return answer;
}

// "Server time: 2026-12-07 12:34:56 UTC", then "Board time: 13:34:56 weekday 01 07.12.26 (UTC+1)":
// the registers' texts as they are sent (weekday Monday 01 to Sunday 07).
void printTimes(std::uint32_t seconds, const ClockValues &fields, int offsetHours)
{
    printResult(QStringLiteral("Server time: %1 UTC").arg(serverTimeUtc(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    printResult(QStringLiteral("Board time: %1:%2:%3 weekday %4 %5.%6.%7 (%8)")
                    .arg(fields[Clock::Hours], fields[Clock::Minutes], fields[Clock::Seconds], fields[Clock::Weekday],
                         fields[Clock::Day], fields[Clock::Month], fields[Clock::Year], timeZoneName(offsetHours)));
}

} // namespace

int runTimeServer(const Options &options)
{
    QString error;
    const std::optional<Request> request = requestOf(options, &error);
    if (!request)
        return usageErrorOf(error);
    ConsoleReporter reporter;
    const Answer answer = ask(request->server, reporter);
    if (reporter.cancelled()) {
        printStatus(LookupText(Text::OperationCancelled));
        return Cancelled;
    }
    if (!answer.seconds) {
        printStatus(QStringLiteral("Error: %1; server %2 port %3.")
                        .arg(answer.failure, request->server.host)
                        .arg(request->server.port));
        return NoBoard;
    }
    const ClockValues fields = serverClockFields(*answer.seconds, request->offsetHours);
    printTimes(*answer.seconds, fields, request->offsetHours);
    if (options.has(PrintFlag))
        return Success;
    return withBoard(options, [&fields](Operation &operation, const SerialSettings &) {
        const JobEnding ending = operation.run(serverTimeUploadJob(fields, serverTimeForm(true))).ending;
        if (ending.completed())
            printResult(ending.text);
        return exitStatusOf(ending.outcome);
    });
}

} // namespace kestrix::cli
