#pragma once
// Text files are read line by line: each line as UTF-8 when it is valid UTF-8, else as
// Windows-1252; files that start with a UTF-16 byte order mark as UTF-16. Texts for the board
// travel as Windows-1252 bytes.
//
// Files are split into lines on their bytes, each line keeping its own line end, so that a
// rewrite can leave every line it does not change exactly as it was.

#include <QByteArray>
#include <QList>
#include <QString>

namespace kestrix {

// How the bytes of a file are grouped into characters.
enum class TextForm {
    EightBit,            // UTF-8 or Windows-1252, decided line by line
    Utf16LittleEndian,   // only with a byte order mark
    Utf16BigEndian,      // only with a byte order mark
};

// The encoding of a line of an eight-bit file.
enum class LineEncoding { Utf8, Windows1252 };

// One line of a text file.
struct TextLine {
    QByteArray content;   // the line's bytes without its line end
    QByteArray ending;    // CR LF, LF or CR as the file holds it; empty for a last line without one
    QString text;         // the content decoded
};

// A text file split into lines; joining them gives the file's bytes again.
struct TextLines {
    TextForm form = TextForm::EightBit;
    QByteArray byteOrderMark;   // as the file starts, empty when it has none
    QList<TextLine> lines;
};

TextLines splitLines(const QByteArray &bytes);
QByteArray joinLines(const TextLines &file);

// A line's content as text: UTF-16 in the UTF-16 forms, else UTF-8 when valid, else
// Windows-1252.
QString decodeLine(const QByteArray &content, TextForm form);

// Bytes of a line that decodeLine reads back as `text`: UTF-16 in the UTF-16 forms; in an
// eight-bit file Windows-1252 when that is preferred and reads back the same, else UTF-8.
QByteArray encodeLine(const QString &text, TextForm form, LineEncoding preferred);

// The encoding of most non-ASCII lines of an eight-bit file: Windows-1252 when more lines are
// read as Windows-1252 than as non-ASCII UTF-8 and the file has no UTF-8 byte order mark, else
// UTF-8.
LineEncoding prevailingEncoding(const TextLines &file);

// The encoding a line was read with; Utf8 for ASCII and for the UTF-16 forms.
LineEncoding encodingOfLine(const TextLine &line, TextForm form);
bool isAscii(const QByteArray &bytes);

// The whole text of a file, decoded line by line. A byte order mark stays in the text as
// U+FEFF.
QString decodeText(const QByteArray &bytes);
QString fromWindows1252(const QByteArray &bytes);
// Characters outside Windows-1252 become "?".
QByteArray toWindows1252(const QString &text);

} // namespace kestrix
