#include "time/time_server.h"

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"

#include <QHostAddress>
#include <algorithm>

namespace kestrix {

namespace {

using namespace std::chrono_literals;

constexpr Milliseconds ServerTimePause = 10ms;
constexpr qint64 Era = qint64(1) << 32;
constexpr std::uint32_t EraBoundary = std::uint32_t(1) << 31;

const QString SettingsSection = QStringLiteral("Settings");
const QString TimeZoneKey = QStringLiteral("TimeZone");

std::optional<std::uint16_t> portOf(const QString &text)
{
    bool ok = false;
    const uint port = text.toUInt(&ok);
    return ok && port >= 1 && port <= 65535 ? std::optional<std::uint16_t>(std::uint16_t(port)) : std::nullopt;
}

} // namespace

std::optional<ServerAddress> parseServerAddress(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        ServerAddress address{trimmed.mid(1, close - 1)};
        const QString rest = trimmed.mid(close + 1);
        if (!rest.isEmpty()) {
            const std::optional<std::uint16_t> port = rest.startsWith(u':') ? portOf(rest.mid(1)) : std::nullopt;
            if (!port)
                return std::nullopt;
            address.port = *port;
        }
        return address.host.isEmpty() ? std::nullopt : std::optional<ServerAddress>(address);
    }
    // Two colons or more: an IPv6 address without a port.
    if (trimmed.count(u':') != 1)
        return trimmed.isEmpty() ? std::nullopt : std::optional<ServerAddress>(ServerAddress{trimmed});
    const std::optional<std::uint16_t> port = portOf(trimmed.section(u':', 1));
    const QString host = trimmed.section(u':', 0, 0);
    if (!port || host.isEmpty())
        return std::nullopt;
    return ServerAddress{host, *port};
}

QDateTime serverTimeUtc(std::uint32_t seconds)
{
    const qint64 sinceEpoch = qint64(seconds) + (seconds < EraBoundary ? Era : 0);
    return QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC).addSecs(sinceEpoch);
}

ClockValues serverClockFields(std::uint32_t seconds, int offsetHours)
{
    const QDateTime local = serverTimeUtc(seconds).addSecs(qint64(offsetHours) * 3600);
    const QDate date = local.date();
    const QTime time = local.time();
    return {twoDigits(time.second()), twoDigits(time.minute()), twoDigits(time.hour()),
            twoDigits(date.dayOfWeek()),   // Qt counts Monday 1 to Sunday 7, as this path does
            twoDigits(date.day()),         twoDigits(date.month()),  twoDigits(date.year() % 100)};
}

// "17:00:00 29.01.14": the uploaded fields as the status line names them.
QString shownServerTime(const ClockValues &fields)
{
    return QStringLiteral("%1:%2:%3 %4.%5.%6")
        .arg(fields[Clock::Hours], fields[Clock::Minutes], fields[Clock::Seconds], fields[Clock::Day],
             fields[Clock::Month], fields[Clock::Year]);
}

StatusForm serverTimeForm(bool mainWindow)
{
    return mainWindow ? StatusForm::mainWindow() : StatusForm::dialog({Text::ServerTimeNotSet});
}

BoardJob<NoData> serverTimeUploadJob(const ClockValues &fields, StatusForm form, const QString &server)
{
    BoardJob<NoData> job;
    job.texts = {Text::TimeUploading, Text::TimeUploaded, {}, std::move(form)};
    job.body = [fields](Exchange &exchange, NoData &) {
        exchange.setTotalSteps(Clock::FieldCount);
        for (int field = 0; field < Clock::FieldCount; ++field) {
            exchange.writeRegister(field, fields[std::size_t(field)].toStdString(), ServerTimePause);
            if (!exchange.step())
                return;
        }
    };
    if (!server.isEmpty()) {
        job.completionText = [fields, server](const NoData &) {
            return textOr(Text::ServerTimeUploaded, QStringLiteral("Time %1 uploaded from %2."))
                .arg(shownServerTime(fields), server);
        };
    }
    return job;
}

int configuredTimeZone()
{
    const int offset = leadingNumber(configFile().read(SettingsSection, TimeZoneKey)).value_or(0);
    return std::clamp(offset, MinTimeZoneOffset, MaxTimeZoneOffset);
}

bool storeTimeZone(int offsetHours, QString *error)
{
    return configFile().write(SettingsSection, TimeZoneKey, QString::number(offsetHours), error);
}

} // namespace kestrix
