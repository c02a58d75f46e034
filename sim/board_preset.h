#pragma once
// The registers of a board as it comes back from being set up: view durations, pairs, byte map
// and the rest, and a clock that runs on local time. kestrix-board-sim starts with them so that
// a download shows sensible values; BoardSim itself starts blank (every register 0xFF).

#include <array>
#include <cstdint>
#include <ctime>
#include <span>

namespace kestrix::sim {

class BoardSim;

struct RegisterValue {
    int reg;
    uint8_t value;
};

// Two decimal digits as the high and low nibble, as the board's clock keeps them: 45 -> 0x45.
uint8_t clockByte(int value);

// R000-R006 for a local time: seconds, minutes, hours, weekday (0 = Sunday), day, month and the
// year's last two digits.
std::array<RegisterValue, 7> clockRegisters(const std::tm &local);

// Every register a download reads after the clock, and the alarm output pair, as set up.
std::span<const RegisterValue> configuredParameters();

// The operating information of a board that has run for a while: counters, time stamps and
// temperatures in parameter registers 410-440, and counters in working-memory variables 20-30
// (`reg` is then the variable's number).
std::span<const RegisterValue> informationRegisters();
std::span<const RegisterValue> informationVariables();

// The clock of `local`, running from now on, the configured parameters and the information,
// into the board's registers and variables.
void presetConfiguredBoard(BoardSim &board, const std::tm &local);

} // namespace kestrix::sim
