#include "info/info_variables.h"

#include "base/config_file.h"
#include "base/file_read.h"
#include "base/ini_file.h"
#include "base/text_digits.h"
#include "base/text_encoding.h"
#include "comm/protocol.h"


namespace kestrix {

namespace {

struct TypeName {
    const char *name;
    InfoType type;
    int registers;
};

constexpr TypeName Types[] = {
    {"Char", InfoType::Char, 1}, {"Int", InfoType::Int, 2}, {"SInt", InfoType::SInt, 2}, {"Time", InfoType::Time, 6}};

const TypeName *typeOf(const QString &text)
{
    for (const TypeName &row : Types) {
        if (text == QLatin1String(row.name))
            return &row;
    }
    return nullptr;
}

QString trimmedField(const QString &field)
{
    qsizetype first = 0;
    qsizetype last = field.size();
    while (first < last && (field[first] == u' ' || field[first] == u'\t'))
        ++first;
    while (last > first && (field[last - 1] == u' ' || field[last - 1] == u'\t'))
        --last;
    return field.mid(first, last - first);
}

int sixteenBits(int high, int low, bool isSigned)
{
    const int sum = 256 * high + low;
    return isSigned && sum > 32767 ? sum - 65536 : sum;
}

QString timeText(const std::vector<QString> &parts)
{
    return parts[0] + u':' + parts[1] + u':' + parts[2] + u' ' + parts[3] + u'.' + parts[4] + u'.' + parts[5] + u'.';
}

int decimalOf(const QString &text)
{
    return leadingNumber(text).value_or(0);
}

} // namespace

InfoType InfoVariable::type() const
{
    const TypeName *row = typeOf(typeText);
    return row ? row->type : InfoType::Unknown;
}

InfoKind InfoVariable::kind() const
{
    if (kindText == QLatin1String("Par"))
        return InfoKind::Par;
    if (kindText == QLatin1String("Ram"))
        return InfoKind::Ram;
    return InfoKind::Unknown;
}

int InfoVariable::registerCount() const
{
    const TypeName *row = typeOf(typeText);
    if (!row || kind() == InfoKind::Unknown || reg + row->registers - 1 > MaxInfoRegister)
        return 0;
    return row->registers;
}

QString infoVariableFilePath()
{
    return dataFilePath(QStringLiteral("vars.txt"));
}

InfoVariableFile parseInfoVariables(const QByteArray &bytes)
{
    InfoVariableFile file;
    for (const TextLine &textLine : splitLines(bytes).lines) {
        const QString &line = textLine.text;
        if (trimmedField(line).isEmpty())
            continue;
        if (int(file.variables.size()) == MaxInfoVariables) {
            ++file.droppedLines;
            continue;
        }
        InfoVariable variable;
        variable.name = trimmedField(line.section(u';', 0, 0));
        variable.reg = std::max(0, leadingNumber(trimmedField(line.section(u';', 1, 1))).value_or(0));
        variable.typeText = trimmedField(line.section(u';', 2, 2));
        variable.kindText = trimmedField(line.section(u';', 3));
        file.variables.push_back(variable);
    }
    return file;
}

std::optional<InfoVariableFile> loadInfoVariables(const QString &path, QString *error)
{
    const std::optional<QByteArray> bytes = readFileBytes(path, error);
    if (!bytes)
        return std::nullopt;
    return parseInfoVariables(*bytes);
}

QString decodeInfoValue(const InfoVariable &variable, const std::vector<unsigned char> &bytes)
{
    if (int(bytes.size()) != variable.registerCount() || bytes.empty())
        return {};
    switch (variable.type()) {
    case InfoType::Char:
        if (variable.kind() == InfoKind::Par)
            return QString::number(bytes[0] > 127 ? int(bytes[0]) - 256 : int(bytes[0]));
        return twoDigits(bytes[0]);
    case InfoType::Int:
    case InfoType::SInt:
        return QString::number(sixteenBits(bytes[0], bytes[1], variable.type() == InfoType::SInt));
    case InfoType::Time: {
        std::vector<QString> pairs;
        for (unsigned char byte : bytes)
            pairs.push_back(hexByte(byte));
        return timeText(pairs);
    }
    case InfoType::Unknown:
        return {};
    }
    return {};
}

QString clearedInfoValue(const InfoVariable &variable, const std::vector<QString> &answers)
{
    if (int(answers.size()) != variable.registerCount() || answers.empty())
        return {};
    switch (variable.type()) {
    case InfoType::Char:
        return answers[0];
    case InfoType::Int:
    case InfoType::SInt:
        return QString::number(sixteenBits(decimalOf(answers[0]), decimalOf(answers[1]), variable.type() == InfoType::SInt));
    case InfoType::Time:
        return timeText(answers);
    case InfoType::Unknown:
        return {};
    }
    return {};
}

QString storedClearingPassword()
{
    return configFile().read(QStringLiteral("Settings"), QStringLiteral("admin"));
}

bool passwordAllowsClearing(const QString &stored, const QString &entered)
{
    return !stored.isEmpty() && !entered.isEmpty() && stored == entered;
}

} // namespace kestrix
