#pragma once
// The alarm data: two alarm programs of 50 alarm times and the six alarm-type parameters, as
// texts exactly as typed, loaded or downloaded. Where the board keeps them: the parameters in
// registers 101-106, program 1 in 110-259 and program 2 in 260-409, three registers per entry.

#include <QString>
#include <array>
#include <span>

namespace kestrix {

// One alarm time. An empty hour leaves the slot free; hour "29" ends a program, hour "25" is an
// entry of its hour alone.
struct AlarmEntry {
    QString hour;
    QString minute;
    QString type;

    bool filled() const { return !hour.isEmpty(); }
    bool operator==(const AlarmEntry &) const = default;
};

inline constexpr int AlarmSlots = 50;
inline constexpr int AlarmProgramCount = 2;
using AlarmProgram = std::array<AlarmEntry, AlarmSlots>;
using AlarmPrograms = std::array<AlarmProgram, AlarmProgramCount>;

// The hour markers.
inline const QString EndOfProgramHour = QStringLiteral("29");
inline const QString HourOnlyHour = QStringLiteral("25");
// Only the hour register of a marker entry means something.
bool isMarkerHour(const QString &hour);

// The six alarm-type parameters, in the order of their config.ini keys C1-C6: pulses, impulse
// duration and pause of alarm type 0, then of alarm type 1.
inline constexpr int AlarmParameterCount = 6;
using AlarmParameters = std::array<QString, AlarmParameterCount>;

struct AlarmParameterInfo {
    const char *label;   // the dialog's small label: C1, A1, P1, C2, A2, P2
    const char *key;     // config.ini [Parameters] key: C1 to C6
    int reg;             // board register 101-106
    int edit;            // the dialog's number edit
    int spin;            // and its up-down
};

// Rows in key order; the registers interleave the two types.
std::span<const AlarmParameterInfo> alarmParameterTable();

struct Alarms {
    AlarmParameters parameters;
    AlarmPrograms programs;
};

// The first register of entry `position` (0-based) of program `program` (0 or 1): its hour;
// minute and type follow.
int alarmEntryRegister(int program, int position);

// The filled slots of a program in slot order, packed to the top; the rest free. This is what a
// save writes and an upload sends.
AlarmProgram packed(const AlarmProgram &program);
int filledSlots(const AlarmProgram &program);

} // namespace kestrix
