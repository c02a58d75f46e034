#pragma once
// LocalLine: a serial device of this computer, opened and configured by the serial channel.

#include "comm/board_line.h"

#include <memory>

QT_BEGIN_NAMESPACE
class QSerialPort;
QT_END_NAMESPACE

namespace kestrix {

class LocalLine : public BoardLine {
public:
    explicit LocalLine(std::unique_ptr<QSerialPort> serial);
    ~LocalLine() override;

    bool isOpen() const override;
    void discardInput() override;
    bool write(const QByteArray &bytes) override;
    int read(char *buffer, int count, int firstByteTimeoutMs) override;
    void close() override;

private:
    std::unique_ptr<QSerialPort> m_serial;
};

} // namespace kestrix
