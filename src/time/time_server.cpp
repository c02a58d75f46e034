#include "time/time_server.h"

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"

#include <QHostAddress>
#include <QUrl>
#include <algorithm>
#include <variant>

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

constexpr qsizetype MaxHostNameLength = 253;
constexpr qsizetype MaxLabelLength = 63;

bool isLabel(const QByteArray &label)
{
    const auto allowed = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    };
    return !label.isEmpty() && label.size() <= MaxLabelLength && std::all_of(label.cbegin(), label.cend(), allowed)
           && !label.startsWith('-') && !label.endsWith('-');
}

// An IP address, or a name whose ASCII form (international names through their "xn--" form)
// is made of labels; a final "." is allowed.
bool isHost(const QString &host)
{
    if (QHostAddress().setAddress(host))
        return true;
    QByteArray name = QUrl::toAce(host);
    if (name.endsWith('.'))
        name.chop(1);
    if (name.isEmpty() || name.size() > MaxHostNameLength)
        return false;
    const QList<QByteArray> labels = name.split('.');
    return std::all_of(labels.cbegin(), labels.cend(), isLabel);
}

// Why an address cannot be asked: a reason text and the part of the address it names.
struct AddressProblem {
    TextId reason;
    QString part;
};

using Parsed = std::variant<ServerAddress, AddressProblem>;

Parsed checked(const QString &host, std::optional<QString> portText)
{
    if (host.isEmpty())
        return AddressProblem{Text::ServerAddressNoHost, {}};
    if (!isHost(host))
        return AddressProblem{Text::ServerAddressBadHost, host};
    ServerAddress address{host};
    if (portText) {
        const std::optional<std::uint16_t> port = portOf(*portText);
        if (!port)
            return AddressProblem{Text::ServerAddressBadPort, *portText};
        address.port = *port;
    }
    return address;
}

// "[address]" or "[address]:port".
Parsed bracketed(const QString &text)
{
    const qsizetype close = text.indexOf(u']');
    const QString rest = close < 0 ? QString() : text.mid(close + 1);
    if (close < 0 || (!rest.isEmpty() && !rest.startsWith(u':')))
        return AddressProblem{Text::ServerAddressBadHost, text};
    const QString host = text.mid(1, close - 1);
    if (!host.isEmpty() && !QHostAddress().setAddress(host))
        return AddressProblem{Text::ServerAddressBadHost, host};
    return checked(host, rest.isEmpty() ? std::nullopt : std::optional<QString>(rest.mid(1)));
}

// A bare IPv6 address has no port; anything else with a colon has its port after the last one,
// so that "1.2.3.4:37:38" names the host "1.2.3.4:37", which is none.
Parsed parsed(const QString &text)
{
    if (text.startsWith(u'['))
        return bracketed(text);
    if (text.count(u':') >= 2 && QHostAddress(text).protocol() == QAbstractSocket::IPv6Protocol)
        return ServerAddress{text};
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon < 0)
        return checked(text, std::nullopt);
    return checked(text.left(colon), text.mid(colon + 1));
}

} // namespace

std::optional<ServerAddress> parseServerAddress(const QString &text, QString *problem)
{
    const Parsed result = parsed(text.trimmed());
    if (const auto *address = std::get_if<ServerAddress>(&result))
        return *address;
    if (problem) {
        const AddressProblem &why = std::get<AddressProblem>(result);
        const QString reason = why.reason == Text::ServerAddressNoHost ? LookupText(why.reason)
                                                                        : LookupText(why.reason).arg(why.part);
        *problem = LookupText(Text::ServerAddressNotValid).arg(text.trimmed(), reason);
    }
    return std::nullopt;
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

int configuredTimeZone(QString *warning)
{
    const QString stored = configFile().read(SettingsSection, TimeZoneKey);
    if (stored.trimmed().isEmpty())
        return 0;
    const std::optional<int> number = leadingNumber(stored);
    const int offset = std::clamp(number.value_or(0), MinTimeZoneOffset, MaxTimeZoneOffset);
    if (warning && (!number || offset != *number))
        *warning = LookupText(Text::TimeZoneNotValid).arg(stored, timeZoneName(offset));
    return offset;
}

QString timeZoneName(int offsetHours)
{
    return QStringLiteral("UTC%1%2").arg(offsetHours < 0 ? QString() : QStringLiteral("+")).arg(offsetHours);
}

bool storeTimeZone(int offsetHours, QString *error)
{
    return configFile().write(SettingsSection, TimeZoneKey, QString::number(offsetHours), error);
}

} // namespace kestrix
