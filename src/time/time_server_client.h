#pragma once
// The Time Protocol (RFC 868) client: one datagram of one zero byte to the server, answered by
// the seconds since 1900 as 32 bits, big-endian. Each request has a socket of its own, released
// once its reply is handled or it has timed out; only a reply from the address and port asked
// counts. Runs on the event loop of the thread that owns it.

#include "time/time_server.h"

#include <QHostAddress>
#include <QObject>
#include <cstdint>

namespace kestrix {

class TimeServerClient : public QObject {
    Q_OBJECT
public:
    enum class Failure {
        NoSocket,      // "Fail To Create Socket!"
        SendFailed,    // "Sending Failed!"
        Unavailable,   // "NTP Server Unvailable!": unknown host, an error, a short reply, no reply in time
    };
    Q_ENUM(Failure)

    static constexpr int DefaultTimeoutMs = 10000;

    explicit TimeServerClient(QObject *parent = nullptr);

    // Sends a request; its reply or failure is signalled once.
    void request(const ServerAddress &server, int timeoutMs = DefaultTimeoutMs);
    int outstanding() const { return m_outstanding; }

    // The text of a failure's message.
    static TextId textOf(Failure failure);

Q_SIGNALS:
    void replied(std::uint32_t seconds, const QString &server);
    void failed(kestrix::TimeServerClient::Failure failure, const QString &detail);

private:
    class Request;
    void finished();

    int m_outstanding = 0;
};

} // namespace kestrix
