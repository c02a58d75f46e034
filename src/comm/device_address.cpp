#include "comm/device_address.h"

#include "base/ini_file.h"

#include <QHostAddress>
#include <algorithm>

namespace kestrix {
namespace {

struct Scheme {
    const char *prefix;
    DeviceKind kind;
};

constexpr Scheme Schemes[] = {{"rfc2217://", DeviceKind::Rfc2217}, {"tcp://", DeviceKind::RawTcp}};

const QString Accepted = QStringLiteral("a device is a local path, rfc2217://host:port or tcp://host:port");

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

bool quoted(const QString &text)
{
    return text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') && text.back() == text.front();
}

// Rules a local path and a network address share: config.ini must give the text back as it
// was written, and a line break or space would split it on the way.
QString textProblem(const QString &text)
{
    if (text.isEmpty())
        return QStringLiteral("the device is empty");
    if (text.size() > IniFile::MaxValueLength)
        return QStringLiteral("the device is longer than %1 characters").arg(IniFile::MaxValueLength);
    if (text.contains(u'\n') || text.contains(u'\r'))
        return QStringLiteral("the device contains a line break");
    if (std::ranges::any_of(text, isControl))
        return QStringLiteral("the device contains a control character");
    if (text != text.trimmed())
        return QStringLiteral("the device begins or ends with white space");
    if (quoted(text))
        return QStringLiteral("the device is enclosed in quotes");
    return {};
}

bool isHostNameCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-'
           || c == u'.' || c == u'_';
}

// "host:port" after the scheme: fills host and port of `address`, or says what is wrong.
QString readHostAndPort(const QString &rest, DeviceAddress &address)
{
    if (rest.isEmpty())
        return QStringLiteral("no host and port after the scheme (write host:port)");
    if (std::ranges::any_of(rest, [](QChar c) { return c.isSpace(); }))
        return QStringLiteral("the address contains a space");
    qsizetype portSeparator = -1;
    if (rest.front() == u'[') {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            return QStringLiteral("the IPv6 address lacks its closing ]");
        address.host = rest.mid(1, close - 1);
        const QHostAddress ip(address.host);
        if (ip.protocol() != QAbstractSocket::IPv6Protocol)
            return QStringLiteral("\"%1\" is no IPv6 address").arg(address.host);
        if (close + 1 < rest.size() && rest[close + 1] != u':')
            return QStringLiteral("unexpected text after the IPv6 address");
        portSeparator = close + 1 < rest.size() ? close + 1 : -1;
    } else {
        portSeparator = rest.lastIndexOf(u':');
        address.host = portSeparator < 0 ? rest : rest.left(portSeparator);
        if (address.host.isEmpty())
            return QStringLiteral("no host before the port");
        if (!std::ranges::all_of(address.host, isHostNameCharacter))
            return QStringLiteral("\"%1\" is no host name or IPv4 address (an IPv6 address goes in brackets)")
                .arg(address.host);
    }
    if (portSeparator < 0)
        return QStringLiteral("no port after the host (write host:port)");
    const QString digits = rest.mid(portSeparator + 1);
    bool number = !digits.isEmpty() && digits.size() <= 5
                  && std::ranges::all_of(digits, [](QChar c) { return c >= u'0' && c <= u'9'; });
    const int port = number ? digits.toInt() : 0;
    if (!number || port < 1 || port > 65535)
        return QStringLiteral("the port \"%1\" is not a number from 1 to 65535").arg(digits);
    address.tcpPort = quint16(port);
    return {};
}

} // namespace

QString DeviceAddress::hostAndPort() const
{
    const QString host = this->host.contains(u':') ? u'[' + this->host + u']' : this->host;
    return host + u':' + QString::number(tcpPort);
}

bool looksLikeNetworkDevice(const QString &text)
{
    const qsizetype separator = text.indexOf(QStringLiteral("://"));
    if (separator <= 0)
        return false;
    return std::ranges::all_of(text.left(separator), [](QChar c) { return c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.'; });
}

ParsedDevice parseDevice(const QString &text)
{
    ParsedDevice parsed;
    parsed.address.text = text;
    parsed.problem = textProblem(text);
    if (!parsed.ok() || !looksLikeNetworkDevice(text))
        return parsed;
    for (const Scheme &scheme : Schemes) {
        const QString prefix = QLatin1String(scheme.prefix);
        if (!text.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        parsed.address.kind = scheme.kind;
        parsed.problem = readHostAndPort(text.mid(prefix.size()), parsed.address);
        return parsed;
    }
    parsed.problem = QStringLiteral("unknown scheme \"%1\": %2").arg(text.left(text.indexOf(u':') + 3), Accepted);
    return parsed;
}

QString deviceProblem(const QString &text)
{
    return parseDevice(text).problem;
}

} // namespace kestrix
