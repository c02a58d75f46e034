#include "cli/parameter_settings.h"

#include "base/ini_file.h"
#include "params/parameter_download.h"
#include "params/parameter_file.h"

#include <algorithm>

namespace kestrix::cli {

namespace {

using P = ParamId;

// Names of the values that parameter files do not store, in the order the download reads them.
struct OwnName {
    const char *name;
    ParamId row;
};

constexpr OwnName OwnNames[] = {
    {"humidity-view", P::HumidityView},
    {"humidity-correction", P::HumidityCorrection},
    {"timezone-hour", P::TimeZoneHour},
    {"timezone-minute", P::TimeZoneMinute},
    {"timing-direction", P::TimingDirection},
    {"timing-hour", P::TimingHour},
    {"timing-minute", P::TimingMinute},
    {"timing-second", P::TimingSecond},
    {"timing-tenth", P::TimingTenth},
    {"self-timer-mode", P::SelfTimerMode},
    {"payment", P::Payment},
    {"limit-min", P::LimitMinimum},
    {"limit-max", P::LimitMaximum},
    {"speed-distance", P::SpeedDistance},
    {"speed-unit", P::SpeedUnit},
    {"repeat", P::Repeat},
    {"displaytime-racer", P::DisplaytimeRacer},
    {"displaytime-speed", P::DisplaytimeSpeed},
};

// The words the Up/Down box takes besides its digits.
struct DirectionWord {
    const char *word;
    const char *digit;
};

constexpr DirectionWord DirectionWords[] = {{"up", "1"}, {"down", "0"}};

QStringList fileKeys()
{
    QStringList keys;
    for (const auto &entry : parameterFileEntries(ParameterValues()))
        keys << entry.first;
    return keys;
}

QString nameOf(const Parameter &row)
{
    if (*row.fileKey)
        return QString::fromLatin1(row.fileKey);
    const auto own = std::ranges::find(OwnNames, row.id, &OwnName::row);
    return own == std::end(OwnNames) ? QString() : QString::fromLatin1(own->name);
}

const Parameter *rowNamed(const QString &key)
{
    const auto rows = parameterTable();
    const auto found = std::ranges::find_if(rows, [&key](const Parameter &row) {
        return key.compare(nameOf(row), Qt::CaseInsensitive) == 0;
    });
    return found == rows.end() ? nullptr : &*found;
}

int entryCount(const Parameter &row)
{
    const ParameterList *list = parameterList(row.control);
    return list ? int(list->strings.size()) : 0;
}

// A row as messages name it: its code and caption, e.g. "Ar (Daylight Saving)"; a byte-map
// field by its caption under "Byte in packet".
QString rowName(const Parameter &row)
{
    const QString caption = QString::fromUtf8(row.caption);
    if (row.group == Group::ByteMap)
        return QStringLiteral("Byte in packet %1").arg(caption);
    return *row.code ? QStringLiteral("%1 (%2)").arg(QLatin1String(row.code), caption) : caption;
}

// What a row's control takes, for messages.
QString allowedText(const Parameter &row)
{
    if (row.encoding == Encoding::Signed && *row.fileKey)
        return QStringLiteral("a number from %1 to %2 followed by its auxiliary digit 0-9, as parameter files "
                              "store it (%3=-30 for -3)").arg(row.minimum).arg(row.maximum).arg(QLatin1String(row.fileKey));
    if (row.digit == StoredDigit::Br2)
        return QStringLiteral("0-9, A (day time depending) or B (light sensor depending)");
    if (row.id == P::TimingDirection)
        return QStringLiteral("up, down, 1 or 0");
    switch (row.kind) {
    case ControlKind::Edit:
        if (row.spin != NoControl)
            return QStringLiteral("a number from %1 to %2").arg(row.minimum).arg(row.maximum);
        return QStringLiteral("up to %1 characters of Windows-1252, no control characters").arg(row.typingLimit);
    case ControlKind::List:
        return QStringLiteral("an entry 0-%1").arg(digitForIndex(entryCount(row) - 1));
    case ControlKind::CheckBox:
        return QStringLiteral("1 or 0");
    }
    return {};
}

// What is wrong with a value, for messages.
struct MisfitWords {
    Misfit misfit;
    const char *words;
};

constexpr MisfitWords MisfitTexts[] = {
    {Misfit::None, ""},
    {Misfit::NotANumber, "not a number in the digits 0-9"},
    {Misfit::OutOfRange, "out of range"},
    {Misfit::TooLong, "too long"},
    {Misfit::ControlCharacter, "a control character"},
    {Misfit::NotEightBit, "a character that is no Windows-1252 byte"},
    {Misfit::NoEntry, "no entry of the list"},
    {Misfit::NotABox, "not 1 or 0"},
};

static_assert(rowsInEnumOrder(MisfitTexts, &MisfitWords::misfit), "misfit texts must stand in Misfit order");

// The value as a message shows it: control characters as \xNN, so none reaches the terminal.
QString shownValue(const QString &value)
{
    QString shown;
    for (QChar character : value) {
        if (character.category() == QChar::Other_Control)
            shown += QStringLiteral("\\x%1").arg(uint(character.unicode()), 2, 16, QLatin1Char('0'));
        else
            shown += character;
    }
    return shown;
}

bool holdsControlCharacter(const QString &value)
{
    return std::ranges::any_of(value, [](QChar c) { return c.category() == QChar::Other_Control; });
}

QString refusal(const QString &key, const QString &value, const Parameter &row, Misfit misfit)
{
    return QStringLiteral("--set %1: \"%2\" is not allowed (%3); %4 takes %5")
        .arg(key, shownValue(value), QLatin1String(MisfitTexts[int(misfit)].words), rowName(row), allowedText(row));
}

// Every value of the update is one its control would hold; else a message naming the key, the
// problem and the control (`row`, the key's row, for a correction's auxiliary digit, which has
// none).
bool checkUpdate(const QString &key, const QString &value, const Parameter &row, const ParameterUpdate &update,
                 QString *error)
{
    const std::optional<UpdateMisfit> misfit = firstMisfit(update);
    if (!misfit)
        return true;
    *error = refusal(key, value, misfit->row ? *misfit->row : row, misfit->misfit);
    return false;
}

// A file key's value by its Load rule, as a one-line parameter file gives it.
ParameterUpdate fileUpdate(const Parameter &row, const QString &value)
{
    const QString key = QString::fromLatin1(row.fileKey);
    const IniSnapshot file({QLatin1Char('[') + ParametersSection + QLatin1Char(']'), key + QLatin1Char('=') + value});
    return parametersOf(file);
}

// One of our own names: the value goes into the row's control (a box or list with a stored
// digit into that digit).
ParameterUpdate ownUpdate(const Parameter &row, const QString &value)
{
    ParameterUpdate update;
    QString text = value;
    for (const DirectionWord &word : DirectionWords) {
        if (row.id == P::TimingDirection && value.compare(QLatin1String(word.word), Qt::CaseInsensitive) == 0)
            text = QLatin1String(word.digit);
    }
    if (row.digit != StoredDigit::None)
        update.digits.push_back({row.digit, text});
    else
        update.fields.push_back({row.id, text});
    return update;
}

std::optional<ParameterUpdate> settingOf(const QString &setting, QString *error)
{
    const qsizetype equals = setting.indexOf(QLatin1Char('='));
    if (equals <= 0) {
        *error = QStringLiteral("--set needs KEY=VALUE, not \"%1\"").arg(setting);
        return std::nullopt;
    }
    const QString key = setting.left(equals);
    const QString value = setting.mid(equals + 1);
    const Parameter *row = rowNamed(key);
    if (!row) {
        *error = QStringLiteral("--set: unknown key %1; the keys are %2").arg(key, settingKeys().join(QStringLiteral(", ")));
        return std::nullopt;
    }
    if (holdsControlCharacter(value)) {
        *error = QStringLiteral("--set %1: \"%2\" is not allowed; a value cannot hold a line break or another "
                                "control character").arg(key, shownValue(value));
        return std::nullopt;
    }
    // An empty or blank value would leave the control as it is (the Load rule skips it): refused
    // rather than dropped without a word.
    const bool isPair = row->encoding == Encoding::DigitPairFirst;
    if (value.trimmed().isEmpty() || (*row->fileKey && isPair && value.size() > 2)) {
        *error = QStringLiteral("--set %1: \"%2\" is not allowed; %1 takes %3")
                     .arg(key, value, isPair ? QStringLiteral("one or two digits") : QStringLiteral("a value"));
        return std::nullopt;
    }
    ParameterUpdate update = *row->fileKey ? fileUpdate(*row, value) : ownUpdate(*row, value);
    if (update.empty()) {
        *error = QStringLiteral("--set %1: \"%2\" gives no value").arg(key, value);
        return std::nullopt;
    }
    if (!checkUpdate(key, value, *row, update, error))
        return std::nullopt;
    return update;
}

// What the download read for a row, if its register answered.
std::optional<QString> readValue(const Parameter &row, const ParameterUpdate &update)
{
    if (row.digit != StoredDigit::None) {
        const auto found = std::ranges::find(update.digits, row.digit, &DigitValue::digit);
        return found == update.digits.end() ? std::nullopt : std::optional<QString>(found->value);
    }
    const auto found = std::ranges::find(update.fields, row.id, &FieldValue::field);
    return found == update.fields.end() ? std::nullopt : std::optional<QString>(found->text);
}

// One register's line: its rows' name and values (both digits of a pair); nothing when unanswered.
std::optional<QString> registerLine(int reg, const ParameterUpdate &update)
{
    QString name;
    QString value;
    for (const Parameter &row : parameterTable()) {
        if (row.readRegister != reg)
            continue;
        const std::optional<QString> read = readValue(row, update);
        if (!read)
            return std::nullopt;
        name = nameOf(row);
        value += *read;
    }
    if (name.isEmpty())
        return std::nullopt;
    return name + QLatin1Char('=') + value;
}

} // namespace

std::optional<ParameterValues> startingValues(const QString &file, QString *error)
{
    ParameterValues values;
    values.apply(readStartParameters());
    if (file.isEmpty())
        return values;
    const std::optional<ParameterUpdate> loaded = loadParameterFile(file, error);
    if (!loaded)
        return std::nullopt;
    values.apply(*loaded);
    return values;
}

std::optional<std::vector<ParameterUpdate>> parseSettings(const QStringList &settings, QString *error)
{
    std::vector<ParameterUpdate> updates;
    for (const QString &setting : settings) {
        std::optional<ParameterUpdate> update = settingOf(setting, error);
        if (!update)
            return std::nullopt;
        updates.push_back(std::move(*update));
    }
    return updates;
}

QStringList settingKeys()
{
    QStringList keys = fileKeys();
    for (const OwnName &own : OwnNames)
        keys << QString::fromLatin1(own.name);
    return keys;
}

QStringList downloadedLines(const ParameterUpdate &update)
{
    QStringList lines;
    for (int reg : downloadRegisters()) {
        if (const std::optional<QString> line = registerLine(reg, update))
            lines << *line;
    }
    return lines;
}

} // namespace kestrix::cli
