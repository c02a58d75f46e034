#pragma once
// NetworkLine: a board behind a network serial server, reached over TCP. With RFC 2217 the line
// settings travel to the server on every open and the server's buffers are purged where a local
// line discards its own; raw TCP passes the bytes as they are at the server's fixed settings.
// Used from one thread; waits block that thread (a board job's worker).

#include "comm/board_line.h"
#include "comm/device_address.h"
#include "comm/telnet_codec.h"

#include <QString>
#include <QTcpSocket>
#include <memory>

namespace kestrix {



class NetworkLine : public BoardLine {
public:
    static constexpr int ConnectTimeoutMs = 3000;
    // How long the server has to agree to the options and acknowledge the line settings.
    static constexpr int NegotiationTimeoutMs = 1000;
    // How long a server that greets first has to do so.
    static constexpr int GreetingTimeoutMs = 200;

    struct Opening {
        std::unique_ptr<NetworkLine> line;
        OpenFailure failure;
        QString reason;   // why it failed: names host and port
    };
    // Connects and, for RFC 2217, negotiates and sets the line to `speed` 8N1, no flow control,
    // DTR and RTS off. `traceName` prefixes the trace lines.
    static Opening open(const DeviceAddress &address, int speed, const QString &traceName);

    ~NetworkLine() override;

    bool isOpen() const override;
    void discardInput() override;
    bool write(const QByteArray &bytes) override;
    int read(char *buffer, int count, int firstByteTimeoutMs) override;
    void close() override;
    QString refusal() const override { return m_refusal; }

private:
    NetworkLine(const DeviceAddress &address, const QString &traceName);

    bool connectToServer(Opening &opening);
    bool negotiate(int speed, Opening &opening);
    bool waitUntil(const std::function<bool()> &done, int timeoutMs);
    bool takeArrived();
    void handle(const telnet::Event &event);
    void sendRaw(const QByteArray &bytes);
    bool serverClosed(Opening &opening);
    bool turnedAway();

    DeviceAddress m_address;
    QString m_traceName;
    bool m_telnet = false;
    QTcpSocket m_socket;
    telnet::Decoder m_decoder;
    QByteArray m_data;
    QString m_refusal;
    std::vector<QByteArray> m_comPortAnswers;   // the server's COM port replies since the last look
    bool m_holdReplies = false;
    QByteArray m_heldReplies;
    bool m_comPortAgreed = false;
    bool m_comPortRefused = false;
    bool m_weWill[256] = {};
    bool m_weDo[256] = {};
};

} // namespace kestrix
