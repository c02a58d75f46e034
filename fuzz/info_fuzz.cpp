// Arbitrary bytes as vars.txt, and bytes of the input as register answers. Checked:
// - every line holding more than spaces and tabs is a variable, up to 50, the rest counted as
//   dropped (lines split and decoded as every text file is: LF, CR LF or CR, a byte order mark
//   and UTF-16);
// - every field is trimmed of spaces and tabs; the name and the type hold no ';'; a register
//   field of digits only is that number, any other is not negative;
// - a variable occupies 1, 2 or 6 registers by its type, none for an unknown type or kind or
//   when they would reach beyond register 999;
// - the first bytes, taken as a variable's type, kind and register bytes, decode (download) and
//   sum (clearing answers) as computed here: Char of Par as a signed char, of Ram in two decimal
//   digits at least, Int and SInt big-endian 16 bits, Time as "b0:b1:b2 b3.b4.b5.".
#include "fuzz_support.h"
#include "base/text_encoding.h"
#include "info/info_variables.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace kestrix;
using namespace kestrix::fuzz;

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool trimmed(const QString &field)
{
    return field.isEmpty() || (!isBlank(field.front()) && !isBlank(field.back()));
}

QString trimmedText(const QString &field)
{
    qsizetype first = 0;
    qsizetype last = field.size();
    while (first < last && isBlank(field[first]))
        ++first;
    while (last > first && isBlank(field[last - 1]))
        --last;
    return field.mid(first, last - first);
}

// The lines holding more than blanks, split and decoded as the text files are (text_encoding.h).
QStringList variableLines(const std::uint8_t *data, std::size_t size)
{
    QStringList lines;
    for (const TextLine &line : splitLines(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size))).lines) {
        if (!trimmedText(line.text).isEmpty())
            lines << line.text;
    }
    return lines;
}

// The second ';'-separated field of a line, trimmed.
QString registerField(const QString &line)
{
    return line.count(u';') < 1 ? QString() : trimmedText(line.section(u';', 1, 1));
}

int registersOfType(const QString &type)
{
    if (type == QLatin1String("Char"))
        return 1;
    if (type == QLatin1String("Int") || type == QLatin1String("SInt"))
        return 2;
    return type == QLatin1String("Time") ? 6 : 0;
}

// Frames name registers in three digits: a variable reaching beyond 999 has none.
int expectedCount(const QString &type, const QString &kind, int reg)
{
    if (kind != QLatin1String("Par") && kind != QLatin1String("Ram"))
        return 0;
    const int count = registersOfType(type);
    return reg + count - 1 > MaxInfoRegister ? 0 : count;
}

void checkFile(const std::uint8_t *data, std::size_t size)
{
    const InfoVariableFile file = parseInfoVariables(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QStringList lines = variableLines(data, size);
    check(file.variables.size() == std::min<std::size_t>(std::size_t(lines.size()), MaxInfoVariables));
    check(file.variables.size() + std::size_t(file.droppedLines) == std::size_t(lines.size()));
    for (std::size_t i = 0; i < file.variables.size(); ++i) {
        const InfoVariable &variable = file.variables[i];
        check(trimmed(variable.name) && trimmed(variable.typeText) && trimmed(variable.kindText));
        check(!variable.name.contains(u';') && !variable.typeText.contains(u';'));
        check(variable.reg >= 0);
        const std::string reg = registerField(lines[qsizetype(i)]).toStdString();
        if (!reg.empty() && reg.size() <= 9 && reg.find_first_not_of("0123456789") == std::string::npos)
            check(variable.reg == std::stoi(reg));
        const int count = variable.registerCount();
        check(count == 0 || count == 1 || count == 2 || count == 6);
        check(count == expectedCount(variable.typeText, variable.kindText, variable.reg));
    }
}

QString format(const char *pattern, int a)
{
    char text[16];
    std::snprintf(text, sizeof text, pattern, a);
    return QString::fromLatin1(text);
}

struct Shape {
    const char *type;
    const char *kind;
};

constexpr Shape Shapes[] = {{"Char", "Par"}, {"Char", "Ram"}, {"Int", "Par"}, {"SInt", "Ram"},
                            {"Time", "Par"}, {"Time", "Ram"}, {"Word", "Par"}, {"Int", "par"}};

QString expectedDecoded(const Shape &shape, const std::vector<unsigned char> &b)
{
    const std::string type = shape.type;
    const bool known = std::string(shape.kind) == "Par" || std::string(shape.kind) == "Ram";
    if (!known || type == "Word")
        return {};
    if (type == "Char")
        return std::string(shape.kind) == "Par" ? QString::number(int(static_cast<signed char>(b[0])))
                                                : format("%02u", b[0]);
    if (type == "Int")
        return QString::number((b[0] << 8) | b[1]);
    if (type == "SInt")
        return QString::number(int(std::int16_t(std::uint16_t((b[0] << 8) | b[1]))));
    char text[32];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x %02x.%02x.%02x.", b[0], b[1], b[2], b[3], b[4], b[5]);
    return QString::fromLatin1(text);
}

// The answers as the channel gives them: a byte in decimal, or the empty no-answer text for
// bytes from 0xF0 on (counted as 0 in a sum).
QString expectedCleared(const Shape &shape, const std::vector<unsigned char> &b, const std::vector<QString> &answers)
{
    const std::string type = shape.type;
    const bool known = std::string(shape.kind) == "Par" || std::string(shape.kind) == "Ram";
    if (!known || type == "Word")
        return {};
    if (type == "Char")
        return answers[0];
    auto value = [&b](int i) { return b[std::size_t(i)] >= 0xF0 ? 0 : int(b[std::size_t(i)]); };
    if (type == "Int")
        return QString::number(value(0) * 256 + value(1));
    if (type == "SInt")
        return QString::number(int(std::int16_t(std::uint16_t(value(0) * 256 + value(1)))));
    return answers[0] + ':' + answers[1] + ':' + answers[2] + ' ' + answers[3] + '.' + answers[4] + '.' + answers[5] + '.';
}

void checkValues(const std::uint8_t *data, std::size_t size)
{
    if (size < 7)
        return;
    const Shape &shape = Shapes[data[0] % std::size(Shapes)];
    const InfoVariable variable{QStringLiteral("v"), 100, QLatin1String(shape.type), QLatin1String(shape.kind)};
    const int count = variable.registerCount();
    if (count == 0) {
        check(decodeInfoValue(variable, {data[1]}).isEmpty());
        check(clearedInfoValue(variable, {QStringLiteral("00")}).isEmpty());
        return;
    }
    const std::vector<unsigned char> bytes(data + 1, data + 1 + count);
    check(decodeInfoValue(variable, bytes) == expectedDecoded(shape, bytes));
    std::vector<QString> answers;
    for (unsigned char byte : bytes)
        answers.push_back(byte >= 0xF0 ? QString() : format("%02u", byte));
    check(clearedInfoValue(variable, answers) == expectedCleared(shape, bytes, answers));
    // Another number of bytes or answers than registers gives no value.
    const std::vector<unsigned char> more(data + 1, data + 1 + (count == 6 ? 5 : count + 1));
    check(decodeInfoValue(variable, more).isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    checkFile(data, size);
    checkValues(data, size);
    return 0;
}
