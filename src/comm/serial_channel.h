#pragma once
// SerialChannel: the serial channel to a board. Opens a port with the boards' line settings (8N1, no
// flow control, DTR and RTS off), writes command frames and reads fixed-size answers. Every
// operation opens the channel, exchanges its frames and closes it again.

#include "comm/board_line.h"
#include "comm/device_address.h"
#include "comm/serial_settings.h"
#include "comm/sleeper.h"

#include <QString>
#include <memory>
#include <string>
#include <vector>

namespace kestrix {


class SerialChannel {
public:
    enum OpenResult { Opened = 0, BadPort = -1, DeviceError = -2, TimeoutError = -3 };

    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 20;
    static constexpr int QueueSize = 4096;
    static constexpr int LargestAnswer = 24;
    static constexpr Milliseconds PauseAfterWrite{150};
    static constexpr Milliseconds PauseAfterRead{150};
    static constexpr Milliseconds FirstByteTimeout{500};

    static inline const std::string NotConnected = "notconnected";

    // The devices behind the port numbers are read from config.ini when none are given.
    SerialChannel();
    explicit SerialChannel(Sleeper &sleeper);
    SerialChannel(Sleeper &sleeper, PortDevices devices);
    virtual ~SerialChannel();

    SerialChannel(const SerialChannel &) = delete;
    SerialChannel &operator=(const SerialChannel &) = delete;

    // Stores port and speed (also when it then fails), opens and configures the port.
    // 0 on success, -1 for a port outside 1..20, -2 when the device cannot be opened,
    // -3 when the read time-outs cannot be set. A port another program holds (its lock file
    // names a live process, it is in exclusive mode, or it is locked) is busy, also for root,
    // and is never taken from that program. What a program that ended left behind does not
    // hold the port: a lock file naming no process, an exclusive mode no process holds.
    int Open(int port, int speed);
    // Opens a device named by its text (a path, rfc2217://host:port or tcp://host:port) without
    // a port number; results as for Open.
    int OpenDevice(const QString &device, int speed);
    // Opens the device of the last Open again at its speed.
    int reopen();
    void Close();
    bool isOpen() const;

    // Writes a frame, reads nothing; always 0. A failed write closes and reopens the port; when
    // the port does not open again the board is lost (see lost()).
    char Send(const std::string &frame);
    // Send, telling whether the frame was written.
    bool sendFrame(const std::string &frame);
    // The first byte the board sends back, waiting at most 500 ms; -1 when none comes (or the
    // channel is closed). Used after sendFrame by the display lines, answered by one character.
    int readAnswerByte();

    // Writes a frame and reads an answer of `count` bytes (1, 5, 10 or 24); "notconnected"
    // when no byte arrives within 500 ms.
    std::string Query(const std::string &frame, int count);
    // Whether bytes arrived for the last Query (false after a failed write or silence).
    bool lastQueryAnswered() const { return m_lastQueryAnswered; }

    // The answer text of `received` bytes read for a query of `count`: the byte in decimal with
    // at least two digits for 1; "sw: " / "hw: " and the text up to the first zero byte, trimmed,
    // for 24 / 10; the trimmed text for 5; empty for any other count.
    static std::string formatAnswer(const char *buffer, int received, int count);

    // True after a failed write whose port could not be opened again (an unplugged adapter, a
    // board that hung up), until the next successful Open.
    bool lost() const { return m_lost; }
    // Frames written since the last resetFrameCount().
    int framesWritten() const { return m_framesWritten; }
    void resetFrameCount() { m_framesWritten = 0; }

    int port() const { return m_port; }
    int speed() const { return m_speed; }
    OpenFailure lastOpenFailure() const { return m_lastFailure; }
    QString deviceName() const { return m_device; }
    // How the trace names the line: "COM3", "COM3 rfc2217://10.0.0.7:2001", or the device alone
    // when it was opened by its text.
    QString lineName() const;
    // A sentence naming the device and why the last Open failed.
    QString lastOpenError() const;

    // Used by the display operations of the exported interface.
    int nestingCounter = 0;
    int retryCount = 2;

private:
    int refuse(OpenFailure failure, const QString &reason);
    int openDevice(int speed);
    int openLocal();
    int openNetwork(const DeviceAddress &address);
    bool writeFrame(const std::string &frame);
    void reopenAfterFailedWrite();
    int readAnswer(char *buffer, int count);
    void noteRefusal();

    Sleeper &m_sleeper;
    PortDevices m_devices;
    int m_speed = 0;
    int m_port = 0;
    QString m_device;
    OpenFailure m_lastFailure = OpenFailure::None;
    QString m_lastErrorText;
    std::unique_ptr<BoardLine> m_line;
    bool m_lastQueryAnswered = false;
    bool m_lost = false;
    bool m_turnedAway = false;   // a server said the line is in use; no reconnect changes that
    int m_framesWritten = 0;
};


} // namespace kestrix
