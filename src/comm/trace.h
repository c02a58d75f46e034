#pragma once
// A trace of the serial traffic: when started, every channel writes each frame it sends and
// each answer it receives, with a time stamp, to one file.

#include <QString>

namespace kestrix {

class CommTrace {
public:
    enum class Direction { Sent, Received, Event };

    // Starts writing to `path` (appending). Returns false when the file cannot be opened.
    static bool start(const QString &path, QString *error = nullptr);
    static void stop();
    static bool active();

    // One line: time stamp, direction, port, the bytes with control characters spelled out.
    static void record(Direction direction, int port, const QByteArray &bytes);
    static void note(int port, const QString &text);

    // "<ESC>TS?<CR>" for the bytes ESC T S ? CR; other bytes below 0x20 or above 0x7e as <xx>.
    static QString printable(const QByteArray &bytes);
};

} // namespace kestrix
