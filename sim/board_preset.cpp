#include "board_preset.h"

#include "board_sim.h"

namespace kestrix::sim {
namespace {

constexpr RegisterValue ConfiguredParameters[] = {
    // View durations th 5 s, td 3 s, tt 2 s, tp 0; both corrections 0; humidity view and correction 0.
    {8, 0x05}, {9, 0x03}, {10, 0x02}, {11, 0x00}, {98, 0x00}, {491, 0x00}, {873, 0x00}, {874, 0x00},
    // P9: Europe, 0-23 h in Celsius; A0: fade on, brightness 5; A1: HH:MM:SS, Torvel 9600 bps;
    // t0 30; address 1; A4: alarms inactive.
    {12, 0x10}, {13, 0x15}, {17, 0x02}, {18, 0x30}, {19, 0x01}, {100, 0x00},
    // Byte map: digit n from packet byte n, no colons.
    {21, 0x01}, {22, 0x00}, {23, 0x02}, {24, 0x00}, {25, 0x03}, {26, 0x00}, {27, 0x04}, {28, 0x00},
    {29, 0x05}, {30, 0x00}, {31, 0x06}, {32, 0x00}, {33, 0x07}, {34, 0x00}, {35, 0x08}, {36, 0x00},
    // Time zone 00:00; simple timing down from 00:00:00.0.
    {95, 0x00}, {96, 0x00}, {107, 0x00}, {91, 0x00}, {92, 0x00}, {93, 0x00}, {94, 0x00},
    // Self timer: first mode, free, every limit, speed and display time 00.
    {849, 0x00}, {850, 0x00}, {851, 0x00}, {852, 0x00}, {853, 0x00}, {854, 0x00}, {855, 0x00},
    {856, 0x00}, {857, 0x00},
};

// The operating information vars.txt names, in parameter registers: hours of operation 12345,
// 321 power-ups, 17 resets, 3 watchdog resets, the last power failure 23:15:07 02.11.26 and the
// last reset 08:30:00 15.11.26 (two decimal digits a byte), temperatures -12 and 38, water 4 and
// 24 (signed, high byte first), a correction of -2 applied.
constexpr RegisterValue InformationRegisters[] = {
    {410, 0x30}, {411, 0x39}, {412, 0x01}, {413, 0x41}, {414, 0x00}, {415, 0x11}, {416, 0x03},
    {420, 0x23}, {421, 0x15}, {422, 0x07}, {423, 0x02}, {424, 0x11}, {425, 0x26},
    {426, 0x08}, {427, 0x30}, {428, 0x00}, {429, 0x15}, {430, 0x11}, {431, 0x26},
    {432, 0xFF}, {433, 0xF4}, {434, 0x00}, {435, 0x26}, {436, 0x00}, {437, 0x04}, {438, 0x00}, {439, 0x18},
    {440, 0xFE},
};

// And in working memory: 2 display segment faults, 5 communication errors, 42 alarm outputs
// fired, light sensor level 140.
constexpr RegisterValue InformationVariables[] = {
    {20, 0x00}, {21, 0x02}, {22, 0x00}, {23, 0x05}, {24, 0x00}, {25, 0x2A}, {30, 0x8C},
};

} // namespace

uint8_t clockByte(int value)
{
    return static_cast<uint8_t>((value / 10 % 10) << 4 | value % 10);
}

std::array<RegisterValue, 7> clockRegisters(const std::tm &local)
{
    const int fields[] = {local.tm_sec, local.tm_min, local.tm_hour, local.tm_wday,
                          local.tm_mday, local.tm_mon + 1, local.tm_year % 100};
    std::array<RegisterValue, 7> registers{};
    for (int reg = 0; reg < 7; ++reg)
        registers[static_cast<size_t>(reg)] = {reg, clockByte(fields[reg])};
    return registers;
}

std::span<const RegisterValue> configuredParameters()
{
    return ConfiguredParameters;
}

std::span<const RegisterValue> informationRegisters()
{
    return InformationRegisters;
}

std::span<const RegisterValue> informationVariables()
{
    return InformationVariables;
}

void presetConfiguredBoard(BoardSim &board, const std::tm &local)
{
    for (const RegisterValue &entry : clockRegisters(local))
        board.setRegister(entry.reg, entry.value);
    board.setClockRunning(true);
    for (const RegisterValue &entry : configuredParameters())
        board.setRegister(entry.reg, entry.value);
    for (const RegisterValue &entry : informationRegisters())
        board.setRegister(entry.reg, entry.value);
    for (const RegisterValue &entry : informationVariables())
        board.setVariable(entry.reg, entry.value);
}

} // namespace kestrix::sim
