#include "comm/network_line.h"

#include "comm/trace.h"

#include <QDeadlineTimer>
#include <QStringList>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace kestrix {
namespace {

using namespace telnet;

// Client requests of the COM port option; the server answers each with the code plus 100.
enum ComPortCode : std::uint8_t {
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
    PurgeData = 12,
};
constexpr std::uint8_t ServerOffset = 100;

constexpr std::uint8_t ParityNone = 1;
constexpr std::uint8_t OneStopBit = 1;
constexpr std::uint8_t NoFlowControl = 1;
constexpr std::uint8_t DtrOff = 9;
constexpr std::uint8_t RtsOff = 12;
constexpr std::uint8_t PurgeReceived = 1;   // what the server received from the board for us

constexpr int WriteTimeoutMs = 2000;

// Acknowledges what arrives at once instead of after the delayed-ACK time: a server that sends its
// greeting in small pieces (Nagle) waits for each acknowledgement, and we listen before we speak.
void acknowledgeAtOnce(QTcpSocket &socket)
{
#ifdef Q_OS_LINUX
    int on = 1;
    ::setsockopt(int(socket.socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#else
    (void)socket;
#endif
}
constexpr int CloseTimeoutMs = 1000;

struct LineSetting {
    std::uint8_t code;
    QByteArray value;
    const char *name;
    bool awaited;   // servers acknowledge it before the first frame may go
};

QByteArray bigEndian(quint32 value)
{
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

// DTR and RTS go first: a server that does not acknowledge them (a pseudo-terminal behind it
// has no modem lines) is waited for on the others only.
std::vector<LineSetting> lineSettings(int speed)
{
    return {
        {SetControl, QByteArray(1, char(DtrOff)), "DTR off", false},
        {SetControl, QByteArray(1, char(RtsOff)), "RTS off", false},
        {SetBaudRate, bigEndian(quint32(speed)), "speed", true},
        {SetDataSize, QByteArray(1, char(8)), "8 data bits", true},
        {SetParity, QByteArray(1, char(ParityNone)), "no parity", true},
        {SetStopSize, QByteArray(1, char(OneStopBit)), "1 stop bit", true},
        {SetControl, QByteArray(1, char(NoFlowControl)), "no flow control", true},
    };
}

// Whether a server reply acknowledges the setting: the same code plus 100; a control setting is
// told apart by its value.
bool acknowledges(const QByteArray &reply, const LineSetting &setting)
{
    if (reply.isEmpty() || std::uint8_t(reply[0]) != setting.code + ServerOffset)
        return false;
    return setting.code != SetControl || reply.mid(1) == setting.value;
}

// A server's own words, as it sends them to a client it does not serve ("Port already in use").
QString serverWords(const QByteArray &data)
{
    return CommTrace::printableText(QString::fromLatin1(data.left(120)).trimmed());
}

} // namespace

NetworkLine::NetworkLine(const DeviceAddress &address, const QString &traceName)
    : m_address(address), m_traceName(traceName), m_telnet(address.kind == DeviceKind::Rfc2217)
{
}

NetworkLine::~NetworkLine()
{
    close();
}

NetworkLine::Opening NetworkLine::open(const DeviceAddress &address, int speed, const QString &traceName)
{
    Opening opening{std::unique_ptr<NetworkLine>(new NetworkLine(address, traceName)), OpenFailure::None, {}};
    if (!opening.line->connectToServer(opening) || (opening.line->m_telnet && !opening.line->negotiate(speed, opening)))
        opening.line.reset();
    return opening;
}

bool NetworkLine::connectToServer(Opening &opening)
{
    const QString where = m_address.hostAndPort();
    m_socket.connectToHost(m_address.host, m_address.tcpPort);
    if (m_socket.waitForConnected(ConnectTimeoutMs)) {
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }
    opening.failure = OpenFailure::Unreachable;
    switch (m_socket.error()) {
    case QAbstractSocket::HostNotFoundError:
        opening.reason = QStringLiteral("the host %1 is not known").arg(m_address.host);
        break;
    case QAbstractSocket::ConnectionRefusedError:
        opening.reason = QStringLiteral("%1 refused the connection (no server listens there)").arg(where);
        break;
    case QAbstractSocket::SocketTimeoutError:
        opening.reason = QStringLiteral("%1 did not accept a connection within %2 s").arg(where).arg(ConnectTimeoutMs / 1000);
        break;
    default:
        opening.reason = QStringLiteral("no connection to %1: %2").arg(where, m_socket.errorString());
        break;
    }
    m_socket.abort();
    return false;
}

// Options: binary both ways (a frame's CR and any byte travel as they are), no go-aheads, and
// the COM port option. Then the line settings, waiting for the acknowledgements that decide how
// the first frame reaches the board.
bool NetworkLine::negotiate(int speed, Opening &opening)
{
    // Listen first: a server that serves another client greets, says so and closes, and what we
    // would send meanwhile makes it reset the connection, losing its words. Servers that greet
    // offer the COM port option at once; the replies wait until the greeting is read.
    m_holdReplies = true;
    acknowledgeAtOnce(m_socket);
    waitUntil([this] { return m_comPortAgreed || m_comPortRefused; }, GreetingTimeoutMs);
    m_holdReplies = false;
    if (serverClosed(opening))
        return false;
    QByteArray offer = m_heldReplies;
    m_heldReplies.clear();
    for (std::uint8_t option : {Binary, SuppressGoAhead, ComPort}) {
        if (!m_weWill[option])
            offer += command(Will, option);
        m_weWill[option] = true;
    }
    for (std::uint8_t option : {Binary, SuppressGoAhead}) {
        if (!m_weDo[option])
            offer += command(Do, option);
        m_weDo[option] = true;
    }
    sendRaw(offer);
    if (!waitUntil([this] { return m_comPortAgreed || m_comPortRefused; }, NegotiationTimeoutMs)) {
        if (serverClosed(opening))
            return false;
        opening.failure = OpenFailure::ServerRefused;
        opening.reason = QStringLiteral("%1 does not answer as an RFC 2217 server (for a raw TCP server write tcp://)")
                             .arg(m_address.hostAndPort());
        return false;
    }
    if (m_comPortRefused) {
        opening.failure = OpenFailure::ServerRefused;
        opening.reason = QStringLiteral("%1 refuses the COM port option: it sets no line settings (write tcp:// for a raw server)")
                             .arg(m_address.hostAndPort());
        return false;
    }

    const std::vector<LineSetting> settings = lineSettings(speed);
    QByteArray request;
    for (const LineSetting &setting : settings)
        request += subnegotiation(ComPort, QByteArray(1, char(setting.code)) + setting.value);
    m_comPortAnswers.clear();
    sendRaw(request);
    auto acknowledged = [this](const LineSetting &setting) {
        return std::ranges::any_of(m_comPortAnswers, [&setting](const QByteArray &reply) { return acknowledges(reply, setting); });
    };
    waitUntil([&] { return std::ranges::all_of(settings, [&](const LineSetting &s) { return !s.awaited || acknowledged(s); }); },
              NegotiationTimeoutMs);
    if (serverClosed(opening))
        return false;

    QStringList missing;
    for (const LineSetting &setting : settings) {
        if (!acknowledged(setting))
            missing << QLatin1String(setting.name);
    }
    CommTrace::note(m_traceName, QStringLiteral("telnet: binary, suppress go-ahead, com-port agreed; %1 bps 8N1, no flow "
                                                "control, DTR/RTS off sent; %2")
                                     .arg(speed)
                                     .arg(missing.isEmpty() ? QStringLiteral("all acknowledged")
                                                            : QStringLiteral("not acknowledged: ") + missing.join(u", ")));
    return true;
}

// A server that serves someone else tells the new client so and closes.
bool NetworkLine::serverClosed(Opening &opening)
{
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        return false;
    const QString words = serverWords(m_data);
    opening.failure = words.contains(QStringLiteral("in use"), Qt::CaseInsensitive) ? OpenFailure::Busy : OpenFailure::ServerRefused;
    opening.reason = words.isEmpty() ? QStringLiteral("%1 closed the connection").arg(m_address.hostAndPort())
                                     : QStringLiteral("the server at %1 says: %2").arg(m_address.hostAndPort(), words);
    return true;
}

// A raw server that serves another client says so in plain text and closes; read as an answer,
// those words would only look like a board that does not answer.
bool NetworkLine::turnedAway()
{
    if (m_telnet || !serverWords(m_data).contains(QStringLiteral("in use"), Qt::CaseInsensitive))
        return false;
    waitUntil([] { return false; }, CloseTimeoutMs);
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        return false;
    m_refusal = QStringLiteral("the server at %1 says: %2").arg(m_address.hostAndPort(), serverWords(m_data));
    m_data.clear();
    return true;
}

bool NetworkLine::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    takeArrived();
    while (!done()) {
        if (m_socket.state() != QAbstractSocket::ConnectedState || deadline.hasExpired())
            return false;
        m_socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
        takeArrived();
    }
    return true;
}

// Moves what the server sent into the data and answers the option commands among it. False when
// the connection has gone.
bool NetworkLine::takeArrived()
{
    if (!m_socket.isOpen())
        return false;
    if (m_socket.bytesAvailable() == 0)
        m_socket.waitForReadyRead(0);
    const QByteArray bytes = m_socket.readAll();
    if (!bytes.isEmpty())
        acknowledgeAtOnce(m_socket);
    if (!m_telnet) {
        m_data += bytes;
    } else if (!bytes.isEmpty()) {
        std::vector<Event> events;
        m_decoder.feed(bytes, m_data, events);
        for (const Event &event : events)
            handle(event);
    }
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

// Agrees to what we offered, refuses the rest; answers only what changes, so that two sides
// never trade the same command for ever.
void NetworkLine::handle(const Event &event)
{
    const bool wanted = event.option == Binary || event.option == SuppressGoAhead || event.option == ComPort;
    switch (event.verb) {
    case Do:
        if (event.option == ComPort)
            m_comPortAgreed = true;
        if (wanted && !m_weWill[event.option]) {
            m_weWill[event.option] = true;
            sendRaw(command(Will, event.option));
        } else if (!wanted) {
            sendRaw(command(Wont, event.option));
        }
        break;
    case Dont:
        if (event.option == ComPort)
            m_comPortRefused = true;
        if (m_weWill[event.option]) {
            m_weWill[event.option] = false;
            sendRaw(command(Wont, event.option));
        }
        break;
    case Will:
        if (event.option == ComPort)
            break;
        if (!wanted) {
            sendRaw(command(Dont, event.option));
        } else if (!m_weDo[event.option]) {
            m_weDo[event.option] = true;
            sendRaw(command(Do, event.option));
        }
        break;
    case Wont:
        if (m_weDo[event.option]) {
            m_weDo[event.option] = false;
            sendRaw(command(Dont, event.option));
        }
        break;
    case Sb:
        if (event.option == ComPort && !event.payload.isEmpty())
            m_comPortAnswers.push_back(event.payload);
        break;
    }
}

void NetworkLine::sendRaw(const QByteArray &bytes)
{
    if (m_holdReplies) {
        m_heldReplies += bytes;
        return;
    }
    m_socket.write(bytes);
    m_socket.flush();
}

bool NetworkLine::isOpen() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

void NetworkLine::discardInput()
{
    takeArrived();
    m_data.clear();
    m_comPortAnswers.clear();
}

bool NetworkLine::write(const QByteArray &bytes)
{
    if (!takeArrived()) {
        turnedAway();
        return false;
    }
    QByteArray out = m_telnet ? escaped(bytes) : bytes;
    // The purge goes with the frame: what the server still holds from the board is stale too.
    if (m_telnet)
        out.prepend(subnegotiation(ComPort, QByteArray(1, char(PurgeData)) + char(PurgeReceived)));
    if (m_socket.write(out) != out.size())
        return false;
    while (m_socket.bytesToWrite() > 0) {
        if (!m_socket.waitForBytesWritten(WriteTimeoutMs))
            return false;
    }
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

int NetworkLine::read(char *buffer, int count, int firstByteTimeoutMs)
{
    waitUntil([this] { return !m_data.isEmpty(); }, firstByteTimeoutMs);
    if (turnedAway())
        return 0;
    const int taken = int(std::min<qsizetype>(count, m_data.size()));
    std::copy_n(m_data.constData(), taken, buffer);
    m_data.remove(0, taken);
    return taken;
}

void NetworkLine::close()
{
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        return;
    m_socket.disconnectFromHost();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.waitForDisconnected(CloseTimeoutMs);
}

} // namespace kestrix
