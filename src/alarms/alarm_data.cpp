#include "alarms/alarm_data.h"

#include <algorithm>

namespace kestrix {

namespace {

constexpr AlarmParameterInfo Parameters[AlarmParameterCount] = {
    {"C1", "C1", 101, 1093, 1094},
    {"A1", "C2", 103, 1095, 1096},
    {"P1", "C3", 105, 1097, 1098},
    {"C2", "C4", 102, 1099, 1100},
    {"A2", "C5", 104, 1101, 1102},
    {"P2", "C6", 106, 1103, 1104},
};

constexpr int FirstEntryRegister[AlarmProgramCount] = {110, 260};
constexpr int RegistersPerEntry = 3;

} // namespace

bool isMarkerHour(const QString &hour)
{
    return hour == EndOfProgramHour || hour == HourOnlyHour;
}

std::span<const AlarmParameterInfo> alarmParameterTable()
{
    return Parameters;
}

int alarmEntryRegister(int program, int position)
{
    return FirstEntryRegister[program] + RegistersPerEntry * position;
}

AlarmProgram packed(const AlarmProgram &program)
{
    AlarmProgram result{};
    std::ranges::copy_if(program, result.begin(), &AlarmEntry::filled);
    return result;
}

int filledSlots(const AlarmProgram &program)
{
    return int(std::ranges::count_if(program, &AlarmEntry::filled));
}

} // namespace kestrix
