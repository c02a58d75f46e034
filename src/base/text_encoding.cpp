#include "base/text_encoding.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <array>

namespace kestrix {
namespace {

// Windows-1252 characters of the bytes 0x80-0x9F; the rest of the code page equals Latin-1.
// Undefined bytes map to themselves, as Windows does.
constexpr std::array<char16_t, 32> HighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

const QByteArray Utf8Mark("\xEF\xBB\xBF");
const QByteArray Utf16LittleEndianMark("\xFF\xFE");
const QByteArray Utf16BigEndianMark("\xFE\xFF");

// Decoders keep a U+FEFF inside a line as a character instead of dropping it as a mark.
constexpr auto KeepMarks = QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom;

TextLines formOf(const QByteArray &bytes)
{
    TextLines file;
    if (bytes.startsWith(Utf8Mark)) {
        file.byteOrderMark = Utf8Mark;
    } else if (bytes.startsWith(Utf16LittleEndianMark)) {
        file.form = TextForm::Utf16LittleEndian;
        file.byteOrderMark = Utf16LittleEndianMark;
    } else if (bytes.startsWith(Utf16BigEndianMark)) {
        file.form = TextForm::Utf16BigEndian;
        file.byteOrderMark = Utf16BigEndianMark;
    }
    return file;
}

qsizetype unitWidth(TextForm form)
{
    return form == TextForm::EightBit ? 1 : 2;
}

// The code unit at a byte position; half a UTF-16 unit at the end of a file is no character.
char16_t unitAt(const QByteArray &bytes, qsizetype pos, TextForm form)
{
    const auto byte = [&bytes](qsizetype i) { return char16_t(static_cast<unsigned char>(bytes[i])); };
    if (form == TextForm::EightBit)
        return byte(pos);
    if (pos + 1 >= bytes.size())
        return 0xFFFF;
    return form == TextForm::Utf16LittleEndian ? char16_t(byte(pos) | byte(pos + 1) << 8)
                                               : char16_t(byte(pos) << 8 | byte(pos + 1));
}

bool isLineBreak(char16_t unit)
{
    return unit == u'\r' || unit == u'\n';
}

// Byte length of the line end at `pos`: CR LF, a lone CR or a lone LF.
qsizetype endingLength(const QByteArray &bytes, qsizetype pos, TextForm form)
{
    const qsizetype width = unitWidth(form);
    if (pos >= bytes.size())
        return 0;
    const bool crLf = unitAt(bytes, pos, form) == u'\r' && pos + width < bytes.size()
                      && unitAt(bytes, pos + width, form) == u'\n';
    return crLf ? 2 * width : width;
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, KeepMarks);
    [[maybe_unused]] const QString text = utf8.decode(bytes);
    return !utf8.hasError();
}

} // namespace

TextLines splitLines(const QByteArray &bytes)
{
    TextLines file = formOf(bytes);
    const qsizetype width = unitWidth(file.form);
    qsizetype begin = file.byteOrderMark.size();
    while (begin < bytes.size()) {
        qsizetype stop = begin;
        while (stop < bytes.size() && !isLineBreak(unitAt(bytes, stop, file.form)))
            stop += width;
        stop = std::min(stop, bytes.size());
        const qsizetype next = stop + endingLength(bytes, stop, file.form);
        const QByteArray content = bytes.mid(begin, stop - begin);
        file.lines.append({content, bytes.mid(stop, next - stop), decodeLine(content, file.form)});
        begin = next;
    }
    return file;
}

QByteArray joinLines(const TextLines &file)
{
    QByteArray bytes = file.byteOrderMark;
    for (const TextLine &line : file.lines)
        bytes += line.content + line.ending;
    return bytes;
}

QString decodeLine(const QByteArray &content, TextForm form)
{
    if (form == TextForm::Utf16LittleEndian)
        return QStringDecoder(QStringDecoder::Utf16LE, KeepMarks).decode(content);
    if (form == TextForm::Utf16BigEndian)
        return QStringDecoder(QStringDecoder::Utf16BE, KeepMarks).decode(content);
    QStringDecoder utf8(QStringDecoder::Utf8, KeepMarks);
    QString text = utf8.decode(content);
    return utf8.hasError() ? fromWindows1252(content) : text;
}

QByteArray encodeLine(const QString &text, TextForm form, LineEncoding preferred)
{
    if (form == TextForm::Utf16LittleEndian)
        return QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    if (form == TextForm::Utf16BigEndian)
        return QStringEncoder(QStringEncoder::Utf16BE).encode(text);
    if (preferred == LineEncoding::Windows1252) {
        const QByteArray bytes = toWindows1252(text);
        if (decodeLine(bytes, form) == text)
            return bytes;
    }
    return text.toUtf8();
}

bool isAscii(const QByteArray &bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
}

LineEncoding encodingOfLine(const TextLine &line, TextForm form)
{
    if (form != TextForm::EightBit || isValidUtf8(line.content))
        return LineEncoding::Utf8;
    return LineEncoding::Windows1252;
}

LineEncoding prevailingEncoding(const TextLines &file)
{
    if (file.form != TextForm::EightBit || !file.byteOrderMark.isEmpty())
        return LineEncoding::Utf8;
    qsizetype windows1252 = 0;
    qsizetype utf8 = 0;
    for (const TextLine &line : file.lines) {
        if (isAscii(line.content))
            continue;
        ++(encodingOfLine(line, file.form) == LineEncoding::Windows1252 ? windows1252 : utf8);
    }
    return windows1252 > utf8 ? LineEncoding::Windows1252 : LineEncoding::Utf8;
}

QString decodeText(const QByteArray &bytes)
{
    const TextLines file = splitLines(bytes);
    QString text = file.byteOrderMark.isEmpty() ? QString() : QString(QChar(0xFEFF));
    for (const TextLine &line : file.lines)
        text += line.text + decodeLine(line.ending, file.form);
    return text;
}

QString fromWindows1252(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        text.append(code >= 0x80 && code < 0xA0 ? QChar(HighControlRange[code - 0x80]) : QChar(code));
    }
    return text;
}

QByteArray toWindows1252(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar ch : text) {
        const char16_t code = ch.unicode();
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            bytes.append(static_cast<char>(code));
            continue;
        }
        char byte = '?';
        for (size_t i = 0; i < HighControlRange.size(); ++i) {
            if (HighControlRange[i] == code)
                byte = static_cast<char>(0x80 + i);
        }
        bytes.append(byte);
    }
    return bytes;
}

} // namespace kestrix
