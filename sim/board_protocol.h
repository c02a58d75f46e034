#pragma once
// The board's side of the protocols: its memory and what it answers to one frame. Knows nothing
// of terminals, threads or faults.

#include <array>
#include <cstdint>
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

    // Executes one frame (its bytes before the CR) and returns what the board answers.
    Reply respond(std::string_view frame);

    std::array<uint8_t, MemorySize> registers;
    std::array<uint8_t, MemorySize> variables;
    std::string software;
    std::string hardware;

private:
    Reply memoryAccess(std::string_view frame);
};

} // namespace kestrix::sim
