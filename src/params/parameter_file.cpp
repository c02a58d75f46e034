#include "params/parameter_file.h"

#include "base/config_file.h"
#include "base/file_read.h"

#include <QFileInfo>

namespace kestrix {

namespace {

using P = ParamId;

// How a key's value is written from and read into its rows.
enum class KeyRule {
    Strip,          // padded field text; read by the strip rule
    WithAuxiliary,  // field text and auxiliary digit; read back split at the last character
    Pair,           // digit 1 and digit 2 of the row and the next; read by the pair rule
    Unchanged,      // field text as it is, both ways
};

struct FileKey {
    ParamId row;            // the key is the row's file key
    KeyRule rule;
    bool atStartUp;         // config.ini presets it
    StoredDigit auxiliary;  // for WithAuxiliary
};

// The keys in the order Save writes them; the byte map A5-C0 follows them.
constexpr FileKey FileKeys[] = {
    {P::Th, KeyRule::Strip, true, StoredDigit::None},
    {P::Td, KeyRule::Strip, true, StoredDigit::None},
    {P::Tt, KeyRule::Strip, true, StoredDigit::None},
    {P::Tp, KeyRule::Strip, false, StoredDigit::None},
    {P::Pc, KeyRule::WithAuxiliary, false, StoredDigit::PcAuxiliary},
    {P::Ac, KeyRule::WithAuxiliary, false, StoredDigit::AcAuxiliary},
    {P::DaylightSaving, KeyRule::Pair, true, StoredDigit::None},
    {P::Fade, KeyRule::Pair, true, StoredDigit::None},
    {P::DisplayMode, KeyRule::Pair, true, StoredDigit::None},
    {P::InactivityPeriod, KeyRule::Strip, true, StoredDigit::None},
    {P::DeviceAddress, KeyRule::Strip, true, StoredDigit::None},
    {P::ActiveAlarmProgram, KeyRule::Pair, true, StoredDigit::None},
};

std::vector<FileKey> allKeys()
{
    std::vector<FileKey> keys(std::begin(FileKeys), std::end(FileKeys));
    for (const Parameter &row : byteMap())
        keys.push_back({row.id, KeyRule::Unchanged, true, StoredDigit::None});
    return keys;
}

QString keyName(const FileKey &key)
{
    return QString::fromLatin1(parameter(key.row).fileKey);
}

QString savedValue(const FileKey &key, const ParameterValues &values)
{
    switch (key.rule) {
    case KeyRule::Strip:
        return values.encoded(key.row);
    case KeyRule::WithAuxiliary:
        return values.text(key.row) + values.digits().digit(key.auxiliary);
    case KeyRule::Pair:
        return values.encodedRegister(parameter(key.row));
    case KeyRule::Unchanged:
        return values.text(key.row);
    }
    return {};
}

void take(const FileKey &key, const QString &value, ParameterUpdate &update)
{
    switch (key.rule) {
    case KeyRule::Strip:
        update.fields.push_back({key.row, stripRule(value)});
        return;
    case KeyRule::WithAuxiliary: {
        const CorrectionValue correction = splitAuxiliary(value);
        update.fields.push_back({key.row, correction.field});
        update.digits.push_back({key.auxiliary, correction.auxiliary});
        return;
    }
    case KeyRule::Pair: {
        const DigitPair pair = pairRule(value);
        update.digits.push_back({parameter(key.row).digit, pair.first});
        update.digits.push_back({parameter(ParamId(int(key.row) + 1)).digit, pair.second});
        return;
    }
    case KeyRule::Unchanged:
        update.fields.push_back({key.row, value});
        return;
    }
}

bool isFileInUse(const QString &path, const QString &inUse)
{
    const QFileInfo chosen(path);
    const QFileInfo config(inUse);
    if (chosen.exists() && config.exists())
        return chosen.canonicalFilePath() == config.canonicalFilePath();
    return chosen.absoluteFilePath() == config.absoluteFilePath();
}

} // namespace

ParameterUpdate parametersOf(const IniSnapshot &file, ParameterKeys keys)
{
    ParameterUpdate update;
    for (const FileKey &key : allKeys()) {
        if (keys == ParameterKeys::StartUp && !key.atStartUp)
            continue;
        if (const std::optional<QString> value = file.value(ParametersSection, keyName(key)))
            take(key, *value, update);
    }
    return update;
}

ParameterUpdate readStartParameters()
{
    return parametersOf(configFile().snapshot(), ParameterKeys::StartUp);
}

QList<std::pair<QString, QString>> parameterFileEntries(const ParameterValues &values)
{
    QList<std::pair<QString, QString>> entries;
    for (const FileKey &key : allKeys())
        entries.append({keyName(key), savedValue(key, values)});
    return entries;
}

QString parameterFilePath(const QString &chosen)
{
    if (chosen.endsWith(QLatin1String(".ini"), Qt::CaseInsensitive))
        return chosen;
    return chosen + QLatin1String(".ini");
}

bool saveParameterFile(const QString &path, const ParameterValues &values, QString *error)
{
    const auto entries = parameterFileEntries(values);
    if (isFileInUse(path, configFilePath()))
        return configFile().write(ParametersSection, entries, error);
    return IniFile(path).replaceWith(ParametersSection, entries, error);
}

std::optional<ParameterUpdate> loadParameterFile(const QString &path, QString *error)
{
    if (!readFileBytes(path, error))
        return std::nullopt;
    return parametersOf(IniFile(path).snapshot());
}

std::optional<int> viewSeconds(const QString &text)
{
    bool isNumber = false;
    const int seconds = text.toInt(&isNumber);
    return isNumber ? std::optional<int>(seconds) : std::nullopt;
}

ViewDurations viewDurationsOf(const ParameterUpdate &update)
{
    ViewDurations durations;
    for (const FieldValue &value : update.fields) {
        if (value.field == P::Th)
            durations.time = viewSeconds(value.text);
        if (value.field == P::Td)
            durations.date = viewSeconds(value.text);
    }
    return durations;
}

} // namespace kestrix
