#pragma once
// A simulated Kestrix board on a pseudo-terminal. The utility opens devicePath() as its serial
// device, so every byte goes through the real serial code. The board keeps its registers and
// working-memory variables, answers the command and display protocols, records every frame it
// receives and can be told to misbehave (Faults).
//
// Thread safety: every accessor may be called from any thread while the board serves;
// start(), stop() and hangUp() are called from one controlling thread.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrix::sim {

// Version texts the board answers unless told otherwise.
inline constexpr std::string_view DefaultSoftwareVersion = "KX-SIM 1.0.3";
inline constexpr std::string_view DefaultHardwareVersion = "KX-HW 2";

struct ReceivedFrame {
    std::string bytes;                            // as received, CR (and a following LF) included
    std::chrono::steady_clock::time_point time;   // arrival of the frame's first byte
    int lineSpeed = 0;                            // the line's speed then, in bps (0 = unknown)
    std::string answer;                           // bytes sent back; empty when none
};

struct Faults {
    bool silent = false;        // executes commands but never answers
    bool wrongAnswers = false;  // "hello" for the test, garbage versions, inverted bytes, '?' to display lines
    int answerOnlyFirst = -1;   // gives the next N answers after setFaults, then is silent (frames that
                                // get no answer anyway, such as the preamble, do not count); -1 = unlimited
    int rejectDisplayLines = 0; // answers the next N display lines with '?' instead of '>'
    bool rejectOperationLines = false;  // answers every display line but "as" and "sa" with '?'
    std::chrono::milliseconds answerDelay{0};  // every answer goes out this late
    std::vector<int> unansweredReads{};   // registers whose "R" reads get no answer
    // Register writes that store another value than the one sent, as a board with a faulty cell:
    // {register, value stored}; the write's answer is the value stored.
    std::vector<std::pair<int, uint8_t>> storedAs{};
    bool answerGarbage = false; // answers the test with "Hello", every other frame with as many random
                                // bytes as the proper answer has (the same bytes after each setFaults)
};

class BoardSim {
public:
    BoardSim();
    ~BoardSim();  // stops
    BoardSim(const BoardSim &) = delete;
    BoardSim &operator=(const BoardSim &) = delete;

    // Opens the pseudo-terminal (raw mode) and starts serving it. Returns false and sets *error
    // when the terminal cannot be set up. Starting a running board does nothing.
    bool start(std::string *error = nullptr);
    // Stops serving and closes the terminal: the device path disappears. Recorded frames stay.
    void stop();
    // Closes the terminal like an unplugged cable: the device disappears and reopening fails.
    void hangUp();
    bool running() const;

    std::string devicePath() const;  // e.g. "/dev/pts/5"; stays set after stop()

    // The board understands frames only at this speed; 0 = any speed. Default 9600.
    void setLineSpeed(int bps);
    // Answers to ESC "SV?" CR and ESC "HV?" CR; the board sends them followed by CR LF.
    void setVersions(std::string software, std::string hardware);
    // Registers (start 0xFF, unset) and variables (start 0), numbered 000-999. Numbers outside
    // that range are ignored by the setters and read as 0.
    // Registers 000-006 are the board's clock (see board_clock.h): a write over the line ("W000"
    // to "W006") sets it and it runs from then on, as on a board. setRegister() on them stops
    // the clock at what it set, so that a test reads back exactly that; setClockRunning(true)
    // starts it from there.
    void setRegister(int n, uint8_t value);
    uint8_t registerValue(int n) const;
    void setClockRunning(bool running);
    void setVariable(int n, uint8_t value);
    uint8_t variable(int n) const;
    void setFaults(const Faults &faults);

    // The frames received so far, once the board has read every byte written to it (a frame
    // sent without an answer may still be on its way when its sender has finished; this waits
    // up to a second for it). clearFrames() forgets those too.
    std::vector<ReceivedFrame> frames() const;
    std::vector<ReceivedFrame> frames(size_t first) const;   // from the frame numbered `first` on
    std::vector<std::string> frameTexts() const;
    void clearFrames();
    // Waits until at least `count` frames are recorded; false when the time runs out or the
    // board is stopped first.
    bool waitForFrames(size_t count, std::chrono::milliseconds timeout) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// "<ESC>TS?<CR>" for the bytes ESC T S ? CR; LF as <LF>, other bytes outside 0x20-0x7e as <xx>.
std::string printable(std::string_view bytes);

} // namespace kestrix::sim
