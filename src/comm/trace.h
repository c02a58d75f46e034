#pragma once
// A trace of the serial traffic: when started, every channel writes each frame it sends and
// each answer it receives, with a time stamp, to one file.

#include <QString>

namespace kestrix {

class CommTrace {
public:
    enum class Direction { Sent, Received, Event };

    // Starts writing to `path` (appending) with a first line. Returns false with the reason
    // when the file cannot be opened or that line cannot be written (a full disk, /dev/full).
    static bool start(const QString &path, QString *error = nullptr);
    static void stop();
    static bool active();
    // Why a line could not be written since the trace started; empty while every line was.
    // The trace stops at the first failure, so the reason is the first one.
    static QString failure();

    // One line: time stamp, the line ("COM3", "COM3 rfc2217://10.0.0.7:2001"), direction, the
    // bytes with control characters spelled out.
    static void record(Direction direction, const QString &line, const QByteArray &bytes);
    static void note(const QString &line, const QString &text);

    // "<ESC>TS?<CR>" for the bytes ESC T S ? CR; other bytes below 0x20 or above 0x7e as <xx>.
    static QString printable(const QByteArray &bytes);
    // Text from outside (a board's answer, a process name) that is safe to show on a terminal or
    // in a label: control characters spelled as printable() spells them (C0 controls, DEL and
    // the C1 controls U+0080-U+009F as <xx>), every other character as it is.
    static QString printableText(const QString &text);
};

} // namespace kestrix
