// SPDX-License-Identifier: GPL-3.0-or-later
// One run of each kind of board operation through the kestrix-cli program, at the protocol's
// own pace, against the simulated board. The program sends exactly the frames that the same
// command line sends in the test process with its pauses recorded; on the board's side no frame
// follows the one before sooner than the line's own pause after a frame; and the run lasts at
// least as long as every pause the recorded run asked for. Everything else about these commands
// is tested with the pauses recorded.
#include "support/cli_support.h"
#include "time_server_sim.h"

#include "comm/serial_channel.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

namespace kt = kestrix::testing;
using kt::CliRun;
using namespace std::chrono_literals;

// The board stamps a frame when it reads it; on a loaded machine it may read one frame a little
// late and the next at once.
constexpr auto ReadingSlack = 30ms;

struct PacedRun {
    const char *name;
    QStringList arguments;
    // Sets the data folder and the board up for the run.
    void (*prepare)(const kt::ScratchDataDir &data, sim::BoardSim &board) = nullptr;
};

void PrintTo(const PacedRun &run, std::ostream *out)
{
    *out << run.name;
}

class RealPaceRun : public kt::CliWithBoard, public ::testing::WithParamInterface<PacedRun> {
protected:
    void SetUp() override
    {
        kt::CliWithBoard::SetUp();
        std::string error;
        ASSERT_TRUE(server.start("127.0.0.1", 0, &error)) << error;
        server.setSeconds(sim::SampleServerSeconds);
    }

    // The parameter's arguments on the board, with the time server's address in place of
    // "SERVER".
    QStringList arguments() const
    {
        QStringList arguments = GetParam().arguments;
        arguments.replaceInStrings(QStringLiteral("SERVER"), QString::fromStdString(server.address()));
        return arguments + OnBoard;
    }

    sim::TimeServerSim server;
};

TEST_P(RealPaceRun, TheProgramSendsTheRecordedFramesWithTheirPausesOnTheLine)
{
    if (GetParam().prepare)
        GetParam().prepare(data, *board);
    const CliRun program = kt::runCliProgram(data, arguments());
    ASSERT_EQ(program.exitCode, 0) << program;
    // Every frame left before the program's last pause, so the board has read them all.
    const std::vector<sim::ReceivedFrame> paced = board->frames();
    ASSERT_FALSE(paced.empty());

    board->clearFrames();
    RecordingSleeper recorded;
    CliRun here;
    {
        const kt::Pace pace(recorded);
        here = kt::runCliHere(data, arguments());
    }
    EXPECT_EQ(here.exitCode, program.exitCode) << here;
    EXPECT_EQ(kt::received(*board, paced.size()), board->frameTexts());
    std::vector<std::string> pacedTexts;
    for (const sim::ReceivedFrame &frame : paced)
        pacedTexts.push_back(frame.bytes);
    EXPECT_EQ(board->frameTexts(), pacedTexts) << "the program sends what the recorded run sends";

    for (size_t i = 1; i < paced.size(); ++i) {
        EXPECT_GE(paced[i].time - paced[i - 1].time, SerialChannel::PauseAfterWrite - ReadingSlack)
            << "frame " << i << ": " << sim::printable(paced[i].bytes);
    }
    EXPECT_GE(program.elapsedMs, recorded.total()) << "every pause waited for";
}

const PacedRun Runs[] = {
    {"check", {"check"}},
    {"scan", {"scan"}},
    {"group_upload", {"upload", "view-times", "--set", "P6=7"}},
    {"download", {"download"},
     [](const kt::ScratchDataDir &, sim::BoardSim &board) {
         constexpr uint8_t Clock[] = {0x15, 0x30, 0x09, 0x02, 0x13, 0x05, 0x14};   // Tue 13.05.14 09:30:15
         for (int reg = 0; reg < int(std::size(Clock)); ++reg)
             board.setRegister(reg, Clock[reg]);
     }},
    {"alarm_upload", {"alarms", "upload"},
     [](const kt::ScratchDataDir &data, sim::BoardSim &) {
         kt::writeBytes(data.file("alarms.txt"), "p1;06;30;1\np2;07;45;0\n");
     }},
    {"daynight_upload", {"daynight", "upload", "vienna"}},
    {"time_server_upload", {"time-server", "--server", "SERVER", "--timezone", "1"}},
    {"display_line", {"display", "intensity", "5", "2", "06:30", "22:00"}},
};

INSTANTIATE_TEST_SUITE_P(EachKind, RealPaceRun, ::testing::ValuesIn(Runs),
                         [](const ::testing::TestParamInfo<PacedRun> &info) { return std::string(info.param.name); });

} // namespace
} // namespace kestrix
