#pragma once
// Frames of the boards' command protocol, the answers' conversions and the fixed pauses.

#include "comm/sleeper.h"

#include <QString>
#include <cstdint>
#include <string>

namespace kestrix {

namespace Frame {
constexpr char Esc = '\x1b';
constexpr char Cr = '\r';

// ESC + command + CR.
std::string escape(const std::string &command);

inline const std::string CommunicationTest = "\x1bTS?\r";
inline const std::string Preamble = "\x1bSM7\r";
inline const std::string SoftwareVersion = "\x1bSV?\r";
inline const std::string HardwareVersion = "\x1bHV?\r";
inline const std::string Reset = "\x1bRST\r";

// A register or variable number as three digits: 5 -> "005", 45 -> "045", 123 -> "123".
std::string registerNumber(int number);
std::string registerNumber(const std::string &digits);
// A value of one character gets "0" in front.
std::string padValue(const std::string &value);

std::string registerWrite(const std::string &reg, const std::string &value);  // "W" rrr vv CR
std::string registerRead(const std::string &reg);                              // "R" rrr CR
std::string variableRead(const std::string &variable);                         // "r" nnn CR
std::string variableClear(const std::string &variable);                        // "w" nnn "00" CR
std::string command(const std::string &text);                                  // text CR
} // namespace Frame

inline const std::string HelloAnswer = "Hello";

// A one-byte answer in decimal ("69") as two lower-case hexadecimal digits ("45"). Text that
// is not a number gives "00".
std::string ToHexText(const std::string &decimal);
// A byte as two lower-case hexadecimal digits ("0a"), as a read register is shown.
QString hexByte(std::uint8_t byte);

// Pauses after frames, on top of those inside every Send and Query.
namespace Pause {
constexpr Milliseconds Preamble{50};
constexpr Milliseconds CommunicationTest{50};
constexpr Milliseconds StatusStep{50};
constexpr Milliseconds PcTimeClock{20};     // registers 000-002
constexpr Milliseconds PcTimeCalendar{30};  // registers 003-006 and "DLS"
constexpr Milliseconds ManualTime{20};
constexpr Milliseconds WriteRegister{30};
constexpr Milliseconds Command{10};         // "AL0", "AL1", reset
constexpr Milliseconds DownloadRead{10};
constexpr Milliseconds ScriptLine{500};
} // namespace Pause

} // namespace kestrix
