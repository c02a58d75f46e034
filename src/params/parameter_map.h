#pragma once
// The main window's parameter area as data: every board parameter with its control, range,
// registers, value encoding, file key and Adjust group; the byte map; the lists and their
// entries. Uploads, the download and the parameter files take every number from here.

#include <QChar>
#include <QString>
#include <span>

namespace kestrix {

// How a field's text becomes the two characters of a register write, and back.
enum class Encoding {
    TwoDigit,         // "5" -> "05"; read "05" shows "5"
    Signed,           // "-5" -> "15"; read "15" shows "-5", "25" shows "5"
    DigitPairFirst,   // first character of a two-digit register
    DigitPairSecond,  // second character of a two-digit register
    RawPair,          // "5" -> "05"; read "0a" shows "0a"
    LastDigit,        // "1" -> "01"; read "01" gives "1"
};

enum class ControlKind { Edit, List, CheckBox };

// The Adjust groups, in the order Adjust All uploads the standard ones.
enum class Group {
    ViewTimes, A0, P9, A1, A2, A3, A4, ByteMap, SimpleTiming, SelfTimer, TimeZone,
};

// The one-character settings the window keeps for two-part registers and the direction box,
// and the auxiliary digits of the two corrections, which only parameter files carry.
enum class StoredDigit { Ar1, Ar2, Br1, Br2, Se1, Se2, Al1, Al2, Direction, PcAuxiliary, AcAuxiliary, None };
inline constexpr int StoredDigitCount = 11;

// Rows of the parameter table. Within a group the rows stand in the order its upload sends
// them; a two-digit register has its first digit's row before its second's.
enum class ParamId {
    Th, Td, Tt, Pc, Tp, Ac, HumidityView, HumidityCorrection,
    DaylightSaving, HourMode,
    Fade, Brightness,
    DisplayMode, SerialProtocol,
    InactivityPeriod, DeviceAddress,
    ActiveAlarmProgram, AlarmActivation,
    ByteMapFirst, ByteMapLast = ByteMapFirst + 15,
    TimingDirection, TimingHour, TimingMinute, TimingSecond, TimingTenth,
    SelfTimerMode, Payment, LimitMinimum, LimitMaximum, SpeedDistance, SpeedUnit, Repeat,
    DisplaytimeRacer, DisplaytimeSpeed,
    TimeZoneHour, TimeZoneMinute,
    Count,
};

// True when row i of a table describes enum value i, so that a lookup by value is an index.
template <class Row, class Enum, std::size_t N>
constexpr bool rowsInEnumOrder(const Row (&rows)[N], Enum Row::*member)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (int(rows[i].*member) != int(i))
            return false;
    }
    return true;
}

inline constexpr int NoRegister = -1;
inline constexpr int NoControl = 0;

// One parameter. The text an encoding works on depends on the control: an edit's text; for a
// list or box with a stored digit, that digit; for a list without one (SF, UN), the selected
// index in decimal.
struct Parameter {
    ParamId id;
    const char *code;        // printed beside the control; "" when none
    const char *caption;
    ControlKind kind;
    int control;             // edit, list or check box number
    int spin;                // up-down number, NoControl when none
    int minimum;             // up-down range (0..1 for a box)
    int maximum;
    int typingLimit;         // characters an edit takes; 0 for lists and boxes
    const char *startText;   // an edit's text when the window opens
    int writeRegister;
    int readRegister;        // NoRegister when the download does not read it
    Encoding encoding;
    const char *fileKey;     // "" when parameter files do not store it
    Group group;
    StoredDigit digit;       // the stored digit behind the control, or None
};

struct GroupInfo {
    Group group;
    int adjustButton;
    const char *name;        // short name for messages and the command line, e.g. "A0"
};

// A list control and its entries' text numbers, in list order. The entry's index is its digit.
struct ParameterList {
    int control;
    std::span<const int> strings;
    bool hexDigits;          // the digit is read as hexadecimal (display mode), else decimal
};

// Check boxes beside the Brightness field that replace its digit by "A" or "B".
inline constexpr int DayTimeBox = 1040;
inline constexpr int LightSensorBox = 1041;

std::span<const Parameter> parameterTable();
const Parameter &parameter(ParamId id);
// The parameter whose edit, list or check box has this number, or nullptr.
const Parameter *parameterForControl(int control);
// The rows of a group, in upload order.
std::span<const Parameter> groupParameters(Group group);
// The sixteen byte-map fields 1067-1082 (registers 021-036, keys A5-C0), left to right.
std::span<const Parameter> byteMap();

std::span<const GroupInfo> groupTable();
const GroupInfo &groupInfo(Group group);

std::span<const ParameterList> listTable();
// The list with this control number, or nullptr.
const ParameterList *parameterList(int control);

// Field text (or digit) -> the characters a register write carries. An empty text gives an
// empty value.
QString encodeField(Encoding encoding, const QString &text);
// Two hexadecimal characters read back -> the text the control shows (for a digit pair, the
// digit; for the last-digit encoding, the second character).
QString decodeField(Encoding encoding, const QString &readText);

// Why a control would not hold a text, judged from its row: an edit with an up-down holds a
// number of the ASCII digits 0-9 within its range; an edit without one up to its typing limit of
// characters that are each one byte of Windows-1252 and no control character; a list one of its
// entries; a box "1" or "0".
enum class Misfit {
    None,
    NotANumber,        // not the digits 0-9 (with "-" in front where the range goes below 0)
    OutOfRange,        // a number beyond the control's range
    TooLong,           // more characters than the control or its register holds
    ControlCharacter,  // a line break, ESC or another control character
    NotEightBit,       // a character without a byte of its own in Windows-1252
    NoEntry,           // no entry of the list
    NotABox,           // a box holds "1" or "0"
};

// A control's text (for a list without a stored digit, the entry's index in decimal). An edit
// may be empty, as the window's are before anything is typed.
Misfit fieldMisfit(const Parameter &row, const QString &text);
// A stored digit: one character its list or box takes; br digit 2 also "A" or "B"; an auxiliary
// digit 0-9.
Misfit digitMisfit(StoredDigit which, const QString &digit);

// The list or box row behind a stored digit (for br digit 2 the Brightness row); nullptr for
// the auxiliary digits, which have no control.
const Parameter *parameterOfDigit(StoredDigit which);

// A list index as its one-character digit: 0-9, then "a" for 10 up to "f" for 15; empty when
// no entry is selected (a negative index) or the index has no single digit.
QString digitForIndex(int index);
// The entry a digit selects in a list: decimal for most lists (a letter counts as 0),
// hexadecimal for the display-mode list. -1 when that is beyond the list's last entry or the
// list is unknown.
int listIndexForDigit(int listControl, const QString &digit);

// Strip rule: a value whose first character is "0" gives only its last character
// (dropLeadingZero of base/text_digits.h).
QString stripRule(const QString &value);

// Pair rule: digit 1 is the first character, digit 2 the last (one character gives both).
struct DigitPair {
    QString first;
    QString second;
};
DigitPair pairRule(const QString &value);

// A correction as files store it: the field text followed by its auxiliary digit.
struct CorrectionValue {
    QString field;
    QString auxiliary;
};
CorrectionValue splitAuxiliary(const QString &value);

} // namespace kestrix
