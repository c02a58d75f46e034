#include "time/time_server_client.h"

#include "base/texts.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>

namespace kestrix {

namespace {

constexpr int ReplySize = 4;

std::uint32_t bigEndian(const QByteArray &bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < ReplySize; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

bool sameAddress(const QHostAddress &a, const QHostAddress &b)
{
    return a.isEqual(b, QHostAddress::ConvertV4MappedToIPv4 | QHostAddress::ConvertUnspecifiedAddress);
}

} // namespace

// One request: resolves the host, sends, waits for the reply or the time-out, then ends itself.
class TimeServerClient::Request : public QObject {
public:
    Request(TimeServerClient *client, ServerAddress server, int timeoutMs)
        : QObject(client), m_client(client), m_server(std::move(server)), m_deadline(timeoutMs, Qt::PreciseTimer)
    {
        // A coarse timer may end the wait up to 5 % early or late; this one ends it at the
        // deadline, never before.
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &Request::timedOut);
        m_timer.start(timeoutMs);
        QHostAddress address;
        if (address.setAddress(m_server.host))
            send(address);
        else
            QHostInfo::lookupHost(m_server.host, this, [this](const QHostInfo &info) { resolved(info); });
    }

private:
    void resolved(const QHostInfo &info)
    {
        // A lookup that ends after the request has timed out finds nothing left to do.
        if (m_ended)
            return;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty())
            return fail(Failure::Unavailable, info.errorString());
        send(info.addresses().constFirst());
    }

    void send(const QHostAddress &address)
    {
        m_address = address;
        if (!m_socket.bind(address.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress::AnyIPv6
                                                                                : QHostAddress::AnyIPv4, 0))
            return fail(Failure::NoSocket, m_socket.errorString());
        connect(&m_socket, &QUdpSocket::readyRead, this, &Request::read);
        if (m_socket.writeDatagram(QByteArray(1, '\0'), address, m_server.port) != 1)
            fail(Failure::SendFailed, m_socket.errorString());
    }

    // A timer that fired before the deadline waits for the rest; a reply that has arrived by
    // then is taken before the request counts as unanswered.
    void timedOut()
    {
        if (!m_deadline.hasExpired()) {
            m_timer.start(std::max<qint64>(1, m_deadline.remainingTime()));
            return;
        }
        read();
        if (!m_ended)
            fail(Failure::Unavailable, QStringLiteral("no answer in time"));
    }

    void read()
    {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = m_socket.receiveDatagram();
            // Anything but the server's answer is not ours to act on.
            if (!sameAddress(datagram.senderAddress(), m_address) || datagram.senderPort() != m_server.port)
                continue;
            if (datagram.data().size() < ReplySize)
                return fail(Failure::Unavailable, QStringLiteral("a reply of %1 bytes").arg(datagram.data().size()));
            Q_EMIT m_client->replied(bigEndian(datagram.data()), m_server.host);
            return end();
        }
    }

    void fail(Failure failure, const QString &detail)
    {
        Q_EMIT m_client->failed(failure, detail);
        end();
    }

    void end()
    {
        m_ended = true;
        m_timer.stop();
        m_socket.close();
        disconnect(&m_socket, nullptr, this, nullptr);
        m_client->finished();
        deleteLater();
    }

    TimeServerClient *m_client;
    ServerAddress m_server;
    QHostAddress m_address;
    QUdpSocket m_socket;
    QDeadlineTimer m_deadline;
    QTimer m_timer;
    bool m_ended = false;
};

TimeServerClient::TimeServerClient(QObject *parent) : QObject(parent) {}

void TimeServerClient::request(const ServerAddress &server, int timeoutMs)
{
    ++m_outstanding;
    new Request(this, server, timeoutMs);
}

void TimeServerClient::finished()
{
    --m_outstanding;
}

TextId TimeServerClient::textOf(Failure failure)
{
    switch (failure) {
    case Failure::NoSocket: return Text::SocketCreateFailed;
    case Failure::SendFailed: return Text::SendingFailed;
    case Failure::Unavailable: return Text::NtpUnavailable;
    }
    return Text::NtpUnavailable;
}

} // namespace kestrix
