#pragma once
// The board's side of the protocols: its memory, its clock and what it answers to one frame.
// Knows nothing of terminals, threads or faults.

#include "board_clock.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix::sim {

enum class ReplyKind { None, Hello, Version, Byte, Display };

struct Reply {
    ReplyKind kind = ReplyKind::None;
    std::string bytes;
};

class BoardProtocol {
public:
    static constexpr int MemorySize = 1000;

    BoardProtocol();

    // Executes one frame (its bytes before the CR) and returns what the board answers. A write
    // to a clock register sets the clock and starts it.
    Reply respond(std::string_view frame);

    // A register as a read finds it: the clock's registers as it shows now.
    uint8_t readRegister(int n) const;
    // Stores a byte as it is, bypassing the protocol: a clock register set so stops the clock.
    void setRegister(int n, uint8_t value);

    BoardClock clock;
    std::array<uint8_t, MemorySize> registers;  // the clock's are in `clock`
    std::array<uint8_t, MemorySize> variables;
    std::string software;
    std::string hardware;

private:
    Reply memoryAccess(std::string_view frame);
    uint8_t clockAccess(int n, std::optional<uint8_t> value);
};

} // namespace kestrix::sim
