#include "params/parameter_map.h"

#include "base/text_digits.h"
#include "base/text_encoding.h"

#include <algorithm>
#include <array>

namespace kestrix {

namespace {

using enum ControlKind;
using enum Encoding;
using G = Group;
using D = StoredDigit;
using P = ParamId;

constexpr Parameter Rows[] = {
    // id, code, caption, kind, control, spin, min, max, typing, start, write, read, encoding, key, group, digit
    {P::Th, "th", "Time", Edit, 1030, 1031, 0, 99, 2, "", 8, 8, TwoDigit, "P6", G::ViewTimes, D::None},
    {P::Td, "td", "Date", Edit, 1032, 1033, 0, 99, 2, "", 9, 9, TwoDigit, "P7", G::ViewTimes, D::None},
    {P::Tt, "tt", "Temp.", Edit, 1034, 1035, 0, 99, 2, "", 10, 10, TwoDigit, "P8", G::ViewTimes, D::None},
    {P::Pc, "pc", "+ Correction -", Edit, 1044, 1045, -9, 9, 1, "", 98, 98, Signed, "PC", G::ViewTimes, D::None},
    {P::Tp, "tp", "Water T.", Edit, 1042, 1043, 0, 99, 2, "", 11, 11, TwoDigit, "TP", G::ViewTimes, D::None},
    {P::Ac, "ac", "+ Correction -", Edit, 1048, 1049, -9, 9, 1, "", 491, 491, Signed, "AC", G::ViewTimes, D::None},
    {P::HumidityView, "", "Humidity", Edit, 1054, 1055, 0, 99, 2, "", 873, 873, TwoDigit, "", G::ViewTimes, D::None},
    {P::HumidityCorrection, "", "Correct.", Edit, 1091, 1103, -9, 9, 2, "", 874, 874, Signed, "", G::ViewTimes, D::None},

    {P::DaylightSaving, "Ar", "Daylight Saving", List, 1007, NoControl, 0, 0, 0, "", 12, 12, DigitPairFirst, "P9", G::P9, D::Ar1},
    {P::HourMode, "Ar", "Hour mode", List, 1008, NoControl, 0, 0, 0, "", 12, 12, DigitPairSecond, "P9", G::P9, D::Ar2},

    {P::Fade, "br", "Fade On/Off", CheckBox, 1038, NoControl, 0, 1, 0, "", 13, 13, DigitPairFirst, "A0", G::A0, D::Br1},
    {P::Brightness, "br", "Brightness", Edit, 1065, 1039, 0, 9, 1, "", 13, 13, DigitPairSecond, "A0", G::A0, D::Br2},

    {P::DisplayMode, "SE", "Display Mode", List, 1015, NoControl, 0, 0, 0, "", 17, 17, DigitPairFirst, "A1", G::A1, D::Se1},
    {P::SerialProtocol, "SE", "Serial communication", List, 1017, NoControl, 0, 0, 0, "", 17, 17, DigitPairSecond, "A1", G::A1, D::Se2},

    {P::InactivityPeriod, "t0", "Period of inactivity", Edit, 1063, 1036, 0, 99, 2, "", 18, 18, TwoDigit, "A2", G::A2, D::None},
    {P::DeviceAddress, "Ad", "Device address", Edit, 1064, 1037, 0, 99, 2, "", 19, 19, TwoDigit, "A3", G::A3, D::None},

    {P::ActiveAlarmProgram, "AL", "Active alarm programm", List, 1115, NoControl, 0, 0, 0, "", 100, NoRegister, DigitPairFirst, "A4", G::A4, D::Al1},
    {P::AlarmActivation, "AL", "How alarm output can be activated over serial channel", List, 1114, NoControl, 0, 0, 0, "", 100, NoRegister, DigitPairSecond, "A4", G::A4, D::Al2},

    // Byte in packet: one pair per display digit, the digit's byte then its colon mark's.
    {P(int(P::ByteMapFirst) + 0), "", "1", Edit, 1067, NoControl, 0, 0, 2, "00", 21, 21, RawPair, "A5", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 1), "", "1:", Edit, 1068, NoControl, 0, 0, 2, "00", 22, 22, RawPair, "A6", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 2), "", "2", Edit, 1069, NoControl, 0, 0, 2, "00", 23, 23, RawPair, "A7", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 3), "", "2:", Edit, 1070, NoControl, 0, 0, 2, "00", 24, 24, RawPair, "A8", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 4), "", "3", Edit, 1071, NoControl, 0, 0, 2, "00", 25, 25, RawPair, "A9", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 5), "", "3:", Edit, 1072, NoControl, 0, 0, 2, "00", 26, 26, RawPair, "B0", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 6), "", "4", Edit, 1073, NoControl, 0, 0, 2, "00", 27, 27, RawPair, "B1", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 7), "", "4:", Edit, 1074, NoControl, 0, 0, 2, "00", 28, 28, RawPair, "B2", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 8), "", "5", Edit, 1075, NoControl, 0, 0, 2, "00", 29, 29, RawPair, "B3", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 9), "", "5:", Edit, 1076, NoControl, 0, 0, 2, "00", 30, 30, RawPair, "B4", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 10), "", "6", Edit, 1077, NoControl, 0, 0, 2, "00", 31, 31, RawPair, "B5", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 11), "", "6:", Edit, 1078, NoControl, 0, 0, 2, "00", 32, 32, RawPair, "B6", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 12), "", "7", Edit, 1079, NoControl, 0, 0, 2, "00", 33, 33, RawPair, "B7", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 13), "", "7:", Edit, 1080, NoControl, 0, 0, 2, "00", 34, 34, RawPair, "B8", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 14), "", "8", Edit, 1081, NoControl, 0, 0, 2, "00", 35, 35, RawPair, "B9", G::ByteMap, D::None},
    {P(int(P::ByteMapFirst) + 15), "", "8:", Edit, 1082, NoControl, 0, 0, 2, "00", 36, 36, RawPair, "C0", G::ByteMap, D::None},

    {P::TimingDirection, "", "Up/Down (checked=Up)", CheckBox, 1219, NoControl, 0, 1, 0, "", 107, 107, LastDigit, "", G::SimpleTiming, D::Direction},
    {P::TimingHour, "", "Hour", Edit, 1221, NoControl, 0, 0, 2, "00", 91, 91, RawPair, "", G::SimpleTiming, D::None},
    {P::TimingMinute, "", "Minute", Edit, 1222, NoControl, 0, 0, 2, "00", 92, 92, RawPair, "", G::SimpleTiming, D::None},
    {P::TimingSecond, "", "Second", Edit, 1223, NoControl, 0, 0, 2, "00", 93, 93, RawPair, "", G::SimpleTiming, D::None},
    {P::TimingTenth, "", "Tenth", Edit, 1224, NoControl, 0, 0, 2, "00", 94, 94, RawPair, "", G::SimpleTiming, D::None},

    {P::SelfTimerMode, "SF", "Self Timer Mode", List, 1237, NoControl, 0, 0, 0, "", 849, 849, LastDigit, "", G::SelfTimer, D::None},
    {P::Payment, "PA", "Payment (0=Free 1-9=Coin Required)", Edit, 1018, 1093, 0, 9, 1, "", 850, 850, RawPair, "", G::SelfTimer, D::None},
    {P::LimitMinimum, "LL", "Limit-Time Minimum", Edit, 1052, 1053, 0, 99, 2, "", 851, 851, RawPair, "", G::SelfTimer, D::None},
    {P::LimitMaximum, "LH", "Limit-Time Maximum", Edit, 1101, 1102, 0, 99, 2, "", 852, 852, RawPair, "", G::SelfTimer, D::None},
    {P::SpeedDistance, "SP", "Speed Distance", Edit, 1056, 1057, 0, 99, 2, "", 853, 853, RawPair, "", G::SelfTimer, D::None},
    {P::SpeedUnit, "UN", "Unit for Speed", List, 1020, NoControl, 0, 0, 0, "", 854, 854, LastDigit, "", G::SelfTimer, D::None},
    {P::Repeat, "RP", "Repeat", Edit, 1094, 1096, 0, 99, 2, "", 855, 855, RawPair, "", G::SelfTimer, D::None},
    {P::DisplaytimeRacer, "TR", "Displaytime Racer", Edit, 1097, 1098, 0, 99, 2, "", 856, 856, RawPair, "", G::SelfTimer, D::None},
    {P::DisplaytimeSpeed, "TS", "Displaytime Speed", Edit, 1099, 1100, 0, 99, 2, "", 857, 857, RawPair, "", G::SelfTimer, D::None},

    {P::TimeZoneHour, "", "Hour", Edit, 1119, NoControl, 0, 0, 2, "00", 95, 95, RawPair, "", G::TimeZone, D::None},
    {P::TimeZoneMinute, "", "Minute", Edit, 1120, NoControl, 0, 0, 2, "00", 96, 96, RawPair, "", G::TimeZone, D::None},
};

// Row i describes ParamId i, so parameter() is an index.
static_assert(rowsInEnumOrder(Rows, &Parameter::id) && std::size(Rows) == std::size_t(P::Count),
              "parameter rows must stand in ParamId order");

constexpr GroupInfo Groups[] = {
    {G::ViewTimes, 1012, "view-times"},
    {G::A0, 1013, "A0"},
    {G::P9, 1014, "P9"},
    {G::A1, 1016, "A1"},
    {G::A2, 1061, "A2"},
    {G::A3, 1062, "A3"},
    {G::A4, 1066, "A4"},
    {G::ByteMap, 1083, "A5-C0"},
    {G::SimpleTiming, 1089, "simple-timing"},
    {G::SelfTimer, 1095, "self-timer"},
    {G::TimeZone, 1090, "time-zone"},
};

static_assert(rowsInEnumOrder(Groups, &GroupInfo::group), "group rows must stand in Group order");

constexpr int DaylightSavingTexts[] = {5000, 5001, 5002, 5003};
constexpr int HourModeTexts[] = {5004, 5005, 5006, 5007};
constexpr int DisplayModeTexts[] = {5013, 5014, 5015, 5016, 5017, 5018, 5019, 5020, 5021, 5096, 5106};
constexpr int SerialProtocolTexts[] = {5022, 5023, 5024, 5025, 5026, 5094, 5107};
constexpr int ActiveAlarmTexts[] = {5027, 5028, 5029, 5095};
constexpr int AlarmActivationTexts[] = {5030, 5031, 5032, 5033};
constexpr int SpeedUnitTexts[] = {5099, 5100, 5101, 5102};
constexpr int SelfTimerModeTexts[] = {5103, 5104, 5105};

constexpr ParameterList Lists[] = {
    {1007, DaylightSavingTexts, false},
    {1008, HourModeTexts, false},
    {1015, DisplayModeTexts, true},
    {1017, SerialProtocolTexts, false},
    {1115, ActiveAlarmTexts, false},
    {1114, AlarmActivationTexts, false},
    {1020, SpeedUnitTexts, false},
    {1237, SelfTimerModeTexts, false},
};

// The value of a digit character, or 0 for a character that is no digit of that base.
int digitValue(QChar digit, bool hex)
{
    const int value = hex ? QString(digit).toInt(nullptr, 16) : digit.digitValue();
    return value < 0 ? 0 : value;
}

QString encodeSigned(const QString &text)
{
    if (text.isEmpty())
        return {};
    return (text.startsWith(u'-') ? QStringLiteral("1") : QStringLiteral("0")) + text.right(1);
}

QString decodeSigned(const QString &readText)
{
    if (readText.startsWith(u'1'))
        return u'-' + readText.right(1);
    return readText.right(1);
}

// A register holds two characters: "05" fits an edit that takes one typed digit.
constexpr int RegisterCharacters = 2;

bool isAsciiDecimal(QStringView text)
{
    return !text.isEmpty() && allAsciiDigits(text);
}

// A control character, or one that Windows-1252 does not give a byte of its own.
Misfit characterMisfit(QChar character)
{
    if (character.category() == QChar::Other_Control)
        return Misfit::ControlCharacter;
    const QString alone(character);
    return fromWindows1252(toWindows1252(alone)) == alone ? Misfit::None : Misfit::NotEightBit;
}

Misfit numberMisfit(const Parameter &row, const QString &text)
{
    if (text.size() > std::max(row.typingLimit, RegisterCharacters))
        return Misfit::TooLong;
    const bool signedNumber = row.minimum < 0 && text.startsWith(u'-');
    if (!isAsciiDecimal(QStringView(text).mid(signedNumber ? 1 : 0)))
        return Misfit::NotANumber;
    const int number = text.toInt();
    return number < row.minimum || number > row.maximum ? Misfit::OutOfRange : Misfit::None;
}

Misfit charactersMisfit(const Parameter &row, const QString &text)
{
    for (QChar character : text) {
        if (const Misfit misfit = characterMisfit(character); misfit != Misfit::None)
            return misfit;
    }
    return text.size() > row.typingLimit ? Misfit::TooLong : Misfit::None;
}

int entryCount(const Parameter &row)
{
    const ParameterList *list = parameterList(row.control);
    return list ? int(list->strings.size()) : 0;
}

Misfit listIndexMisfit(const Parameter &row, const QString &text)
{
    const bool entry = isAsciiDecimal(text) && text.size() <= 2 && text.toInt() < entryCount(row)
                       && text == QString::number(text.toInt());
    return entry ? Misfit::None : Misfit::NoEntry;
}

Misfit boxMisfit(const QString &text)
{
    return text == QLatin1String("0") || text == QLatin1String("1") ? Misfit::None : Misfit::NotABox;
}

Misfit listDigitMisfit(const Parameter &row, QChar digit)
{
    const ParameterList *list = parameterList(row.control);
    const bool inBase = list && list->hexDigits ? isAsciiDigit(digit) || QStringLiteral("abcdefABCDEF").contains(digit)
                                                : isAsciiDigit(digit);
    return inBase && listIndexForDigit(row.control, QString(digit)) >= 0 ? Misfit::None : Misfit::NoEntry;
}

} // namespace

Misfit fieldMisfit(const Parameter &row, const QString &text)
{
    switch (row.kind) {
    case ControlKind::List:
        return listIndexMisfit(row, text);
    case ControlKind::CheckBox:
        return boxMisfit(text);
    case ControlKind::Edit:
        if (text.isEmpty())
            return Misfit::None;
        return row.spin == NoControl ? charactersMisfit(row, text) : numberMisfit(row, text);
    }
    return Misfit::None;
}

Misfit digitMisfit(StoredDigit which, const QString &digit)
{
    const Parameter *row = parameterOfDigit(which);
    if (row && row->kind == ControlKind::CheckBox)
        return boxMisfit(digit);
    if (row && row->kind == ControlKind::List)
        return digit.size() == 1 ? listDigitMisfit(*row, digit.front()) : Misfit::NoEntry;
    // br digit 2 and the auxiliary digits: one digit 0-9, br digit 2 also A or B.
    if (digit.size() > 1)
        return Misfit::TooLong;
    const QString letters = which == StoredDigit::Br2 ? QStringLiteral("AaBb") : QString();
    const bool fits = digit.size() == 1 && (isAsciiDigit(digit.front()) || letters.contains(digit.front()));
    return fits ? Misfit::None : Misfit::NotANumber;
}

const Parameter *parameterOfDigit(StoredDigit which)
{
    if (which == StoredDigit::None)
        return nullptr;
    const auto found = std::ranges::find(Rows, which, &Parameter::digit);
    return found == std::end(Rows) ? nullptr : found;
}

std::span<const Parameter> parameterTable()
{
    return Rows;
}

const Parameter &parameter(ParamId id)
{
    return Rows[int(id)];
}

const Parameter *parameterForControl(int control)
{
    const auto found = std::ranges::find(Rows, control, &Parameter::control);
    return found == std::end(Rows) ? nullptr : found;
}

std::span<const Parameter> groupParameters(Group group)
{
    const auto first = std::ranges::find(Rows, group, &Parameter::group);
    const auto last = std::find_if(first, std::end(Rows), [group](const Parameter &row) { return row.group != group; });
    return {first, last};
}

std::span<const Parameter> byteMap()
{
    return groupParameters(Group::ByteMap);
}

std::span<const GroupInfo> groupTable()
{
    return Groups;
}

const GroupInfo &groupInfo(Group group)
{
    return Groups[int(group)];
}

std::span<const ParameterList> listTable()
{
    return Lists;
}

const ParameterList *parameterList(int control)
{
    const auto found = std::ranges::find(Lists, control, &ParameterList::control);
    return found == std::end(Lists) ? nullptr : found;
}

QString encodeField(Encoding encoding, const QString &text)
{
    switch (encoding) {
    case TwoDigit:
    case RawPair:
        return padToTwo(text);
    case Signed:
        return encodeSigned(text);
    case DigitPairFirst:
    case DigitPairSecond:
        return text;
    case LastDigit:
        return text.isEmpty() ? QString() : u'0' + text;
    }
    return {};
}

QString decodeField(Encoding encoding, const QString &readText)
{
    switch (encoding) {
    case TwoDigit:
        return stripRule(readText);
    case Signed:
        return decodeSigned(readText);
    case DigitPairFirst:
        return pairRule(readText).first;
    case DigitPairSecond:
        return pairRule(readText).second;
    case RawPair:
        return readText;
    case LastDigit:
        return readText.right(1);
    }
    return {};
}

QString digitForIndex(int index)
{
    if (index < 0 || index > 15)
        return {};
    return QString::number(index, 16);
}

int listIndexForDigit(int listControl, const QString &digit)
{
    const ParameterList *list = parameterList(listControl);
    if (!list)
        return -1;
    const int index = digit.isEmpty() ? 0 : digitValue(digit.front(), list->hexDigits);
    return index < int(list->strings.size()) ? index : -1;
}

QString stripRule(const QString &value)
{
    return dropLeadingZero(value);
}

DigitPair pairRule(const QString &value)
{
    return {value.left(1), value.right(1)};
}

CorrectionValue splitAuxiliary(const QString &value)
{
    return {value.chopped(std::min<qsizetype>(1, value.size())), value.right(1)};
}

} // namespace kestrix
