// kestrix-board-sim: serves a simulated board on a pseudo-terminal and prints every frame it
// receives, so that a person can use the utility without a board.

#include "board_preset.h"
#include "board_sim.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <optional>
#include <pthread.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kestrix::sim;
using namespace std::chrono;

constexpr std::array SupportedSpeeds = {0, 2400, 4800, 9600, 19200};

struct Options {
    int speed = 9600;
    std::optional<std::string> software;
    std::optional<std::string> hardware;
    bool silent = false;
    bool blank = false;
    std::string presetFile;
    std::string deviceFile;
    bool help = false;
};

const char Usage[] =
    "Usage: kestrix-board-sim [options]\n"
    "Serves a simulated Kestrix board on a pseudo-terminal and prints the frames it receives.\n"
    "\n"
    "  --speed N            line speed the board understands: 2400, 4800, 9600 (default),\n"
    "                       19200, or 0 for any speed\n"
    "  --software TEXT      answer to the software version query\n"
    "  --hardware TEXT      answer to the hardware version query\n"
    "  --silent             the board never answers\n"
    "  --blank              start with every register 0xFF, as a board never set up;\n"
    "                       otherwise the board starts set up: th 5, td 3, tt 2, P9 10, A0 15,\n"
    "                       A1 02, t0 30, Ad 01, byte map 01 00 02 00 ... 08 00, every other\n"
    "                       register a download reads 00, the clock on the local time at start,\n"
    "                       and the operating information of vars.txt: 12345 hours, 321\n"
    "                       power-ups, time stamps, temperatures and a few memory counters\n"
    "  --preset-file PATH   then set the registers PATH names, one \"register=hexbyte\" line each\n"
    "                       (110=06 sets register 110 to 0x06); empty lines and lines starting\n"
    "                       with # are skipped\n"
    "  --device-file PATH   write the device path into PATH once serving\n"
    "  --help               show this text\n"
    "\n"
    "The clock in registers 000-006 runs with real time, as a board's does: on from the time\n"
    "it starts with, and after a write of W000-W006 on from the time written; reads of\n"
    "R000-R006 give the time then. A clock whose registers do not all hold a valid time, as\n"
    "a blank board's, stands still.\n";

// Options in order; nullopt (after a message on standard error) when they make no sense.
std::optional<Options> parseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--help") {
            options.help = true;
        } else if (arg == "--silent") {
            options.silent = true;
        } else if (arg == "--blank") {
            options.blank = true;
        } else if (arg == "--speed" && hasValue) {
            std::string value = argv[++i];
            auto found = std::find_if(SupportedSpeeds.begin(), SupportedSpeeds.end(),
                                      [&](int speed) { return std::to_string(speed) == value; });
            if (found == SupportedSpeeds.end()) {
                std::cerr << "kestrix-board-sim: unsupported speed " << value << "\n";
                return std::nullopt;
            }
            options.speed = *found;
        } else if (arg == "--software" && hasValue) {
            options.software = argv[++i];
        } else if (arg == "--hardware" && hasValue) {
            options.hardware = argv[++i];
        } else if (arg == "--preset-file" && hasValue) {
            options.presetFile = argv[++i];
        } else if (arg == "--device-file" && hasValue) {
            options.deviceFile = argv[++i];
        } else {
            std::cerr << "kestrix-board-sim: bad argument " << arg << "\n" << Usage;
            return std::nullopt;
        }
    }
    return options;
}

// "register=hexbyte", the register 0-999 in decimal and the byte as one or two hexadecimal
// digits; nothing when the line is not of that form.
std::optional<RegisterValue> presetOf(const std::string &line)
{
    std::istringstream in(line);
    int reg = -1;
    char equals = 0;
    std::string byte;
    if (!(in >> reg >> equals >> byte) || equals != '=' || reg < 0 || reg > 999 || byte.empty() || byte.size() > 2
        || byte.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos || !(in >> std::ws).eof())
        return std::nullopt;
    return RegisterValue{reg, static_cast<uint8_t>(std::stoi(byte, nullptr, 16))};
}

// The registers of a preset file; nothing (after a message on standard error) when the file
// cannot be read or a line is not of the form, so that no board starts half preset.
std::optional<std::vector<RegisterValue>> readPresetFile(const std::string &path)
{
    std::ifstream in(path);
    if (!in) {
        std::cerr << "kestrix-board-sim: cannot read " << path << "\n";
        return std::nullopt;
    }
    std::vector<RegisterValue> registers;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line[line.find_first_not_of(" \t")] == '#')
            continue;
        const std::optional<RegisterValue> preset = presetOf(line);
        if (!preset) {
            std::cerr << "kestrix-board-sim: " << path << ":" << number << ": not register=hexbyte: " << line << "\n";
            return std::nullopt;
        }
        registers.push_back(*preset);
    }
    return registers;
}

// Written beside and renamed, so that a script waiting for the file never reads half of it.
bool writeDeviceFile(const std::string &path, const std::string &device)
{
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << device << "\n";
        if (!out.flush())
            return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

// Wall-clock "HH:MM:SS.mmm" of a steady-clock instant.
std::string clockText(steady_clock::time_point when)
{
    auto wall = system_clock::now() - duration_cast<system_clock::duration>(steady_clock::now() - when);
    std::time_t seconds = system_clock::to_time_t(wall);
    auto millis = duration_cast<milliseconds>(wall.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(millis));
    return text;
}

void printFrame(const ReceivedFrame &frame, int boardSpeed)
{
    std::cout << clockText(frame.time) << "  " << printable(frame.bytes);
    if (boardSpeed != 0 && frame.lineSpeed != boardSpeed)
        std::cout << "  (line at " << frame.lineSpeed << " bps: not understood)";
    else if (!frame.answer.empty())
        std::cout << "  -> " << printable(frame.answer);
    std::cout << std::endl;
}

// A frame is printed once the next one exists or it is this old, so no LF can still join it.
constexpr milliseconds SettleTime{200};

// Prints frames as they come, until the board stops; then prints the rest. Every wait is on
// the board's frame signal, with a deadline only while the newest frame is still settling.
void printFramesUntilStopped(const BoardSim &board, int boardSpeed, const std::atomic<bool> &stopping)
{
    size_t printed = 0;
    for (;;) {
        const bool last = stopping;
        const std::vector<ReceivedFrame> fresh = board.frames(printed);
        const steady_clock::time_point now = steady_clock::now();
        std::optional<steady_clock::time_point> settling;
        for (size_t i = 0; i < fresh.size(); ++i, ++printed) {
            const bool settled = last || i + 1 < fresh.size() || now - fresh[i].time >= SettleTime;
            if (!settled) {
                settling = fresh[i].time + SettleTime;
                break;
            }
            printFrame(fresh[i], boardSpeed);
        }
        if (last)
            return;
        if (settling)
            board.waitForFrames(printed + 2, ceil<milliseconds>(*settling - now));
        else
            board.waitForFrames(printed + 1, hours(1));
    }
}

// Blocks SIGINT and SIGTERM in this thread and every thread started after it, so that they
// wait for sigwait() instead of interrupting anyone.
sigset_t blockQuitSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

} // namespace

int main(int argc, char **argv)
{
    std::optional<Options> options = parseOptions(argc, argv);
    if (!options)
        return 2;
    if (options->help) {
        std::cout << Usage;
        return 0;
    }

    BoardSim board;
    board.setLineSpeed(options->speed);
    if (options->software || options->hardware) {
        board.setVersions(options->software.value_or(std::string(DefaultSoftwareVersion)),
                          options->hardware.value_or(std::string(DefaultHardwareVersion)));
    }
    Faults faults;
    faults.silent = options->silent;
    board.setFaults(faults);
    if (!options->blank) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        presetConfiguredBoard(board, local);
    }
    if (!options->presetFile.empty()) {
        const std::optional<std::vector<RegisterValue>> registers = readPresetFile(options->presetFile);
        if (!registers)
            return 2;
        for (const RegisterValue &entry : *registers)
            board.setRegister(entry.reg, entry.value);
    }
    board.setClockRunning(true);

    const sigset_t quitSignals = blockQuitSignals();

    std::string error;
    if (!board.start(&error)) {
        std::cerr << "kestrix-board-sim: cannot open a pseudo-terminal: " << error << "\n";
        return 1;
    }
    std::string device = board.devicePath();
    std::cout << "Simulated Kestrix board on " << device << " at "
              << (options->speed ? std::to_string(options->speed) + " bps" : std::string("any speed"))
              << std::endl;
    if (!options->deviceFile.empty() && !writeDeviceFile(options->deviceFile, device)) {
        std::cerr << "kestrix-board-sim: cannot write " << options->deviceFile << "\n";
        return 1;
    }

    std::atomic<bool> stopping{false};
    std::thread printer(printFramesUntilStopped, std::cref(board), options->speed, std::cref(stopping));
    int signal = 0;
    sigwait(&quitSignals, &signal);
    stopping = true;
    board.stop();
    printer.join();
    if (!options->deviceFile.empty())
        std::remove(options->deviceFile.c_str());
    return 0;
}
