// Update Alarms' upload, Download Alarm Times and Clear Alarm Times against the simulated board:
// frames byte for byte and in order, Windows-1252 values and none holding a line break, pauses,
// markers, the type digit, bytes a field cannot hold, a board that stops answering, and one that
// is unplugged mid-upload; each job shows exactly one ending.
#include "support/board_support.h"

#include "alarms/alarm_transfer.h"

#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::received;
using kt::Sm7;
using kt::TestFrame;

namespace {

using Frames = std::vector<std::string>;

Frames withPreambles(const Frames &frames)
{
    Frames all{Sm7, TestFrame, Sm7};
    all.insert(all.end(), frames.begin(), frames.end());
    return all;
}

const Frames EmptyParameters{"W101\r", "W102\r", "W103\r", "W104\r", "W105\r", "W106\r"};

Frames withEmptyParameters(const Frames &frames)
{
    Frames all = EmptyParameters;
    all.insert(all.end(), frames.begin(), frames.end());
    return withPreambles(all);
}

class AlarmTransfer : public kt::BoardTest {
protected:
    Frames upload(size_t expectedFrames)
    {
        EXPECT_EQ(run(alarmUploadJob(alarms)).ending.outcome, Outcome::Completed);
        return received(*board, expectedFrames + 3);
    }

    void setRegisters(std::initializer_list<std::pair<int, uint8_t>> values)
    {
        for (auto [reg, value] : values)
            board->setRegister(reg, value);
    }

    Alarms alarms;
};

TEST_F(AlarmTransfer, UploadSendsParametersByRegisterThenEachFilledSlot)
{
    alarms.parameters = {"7", "15", "3", "2", "", "9"};   // C1, A1, P1, C2, A2, P2
    alarms.programs[0][0] = {"6", "30", "1"};
    alarms.programs[0][2] = {" 25 ", "10", "1"};           // a gap above it; an hour-only entry
    alarms.programs[1][0] = {"07", "29", "0"};
    alarms.programs[1][1] = {"29", "", ""};
    const Frames frames = upload(14);
    EXPECT_EQ(frames, withPreambles({"W10107\r", "W10202\r", "W10315\r", "W104\r", "W10503\r", "W10609\r",
                                     "W11006\r", "W11130\r", "W11210\r", "W11325\r",
                                     "W26007\r", "W26129\r", "W26200\r", "W26329\r"}));
    std::vector<int> framePauses;
    for (int i = 0; i < 6; ++i)
        framePauses.insert(framePauses.end(), {150, 10});
    for (int i = 0; i < 8; ++i)
        framePauses.insert(framePauses.end(), {150, 30});
    const std::vector<int> pauses = sleeper.pauses();
    EXPECT_EQ(std::vector<int>(pauses.end() - long(framePauses.size()), pauses.end()), framePauses);
    expectOneEnding("Status: Times Uploaded.");
}

TEST_F(AlarmTransfer, UploadSendsWindows1252BytesAndNoValueHoldingALineBreak)
{
    alarms.programs[0][0] = {"0\u00B0", "3\u00E9", "1"};
    alarms.programs[0][1] = {"08", "00", "0\r1"};   // trimming takes line breaks off the ends only
    alarms.programs[0][2] = {"0\n9", "15", "1"};
    EXPECT_EQ(run(alarmUploadJob(alarms)).ending.outcome, Outcome::Incomplete);
    EXPECT_EQ(received(*board, 3 + 6 + 7), withEmptyParameters({"W1100\xB0\r", "W1113\xE9\r", "W11210\r",
                                                                 "W11308\r", "W11400\r", "W11715\r", "W11810\r"}));
    expectOneEnding("Status: Times uploaded, except 2 values holding a line break.");
}

TEST_F(AlarmTransfer, EmptyParametersSendBareFramesAndEmptyProgramsNothing)
{
    EXPECT_EQ(upload(6), withEmptyParameters({}));
    EXPECT_EQ(board->frameTexts().size(), 9u);
}

TEST_F(AlarmTransfer, DownloadStopsAtTheEndMarkerAndReadsTypesFromTheUpperDigit)
{
    setRegisters({{101, 0x05}, {102, 0xff}, {103, 0x12}, {104, 0x00}, {105, 0x03}, {106, 0x04},
                  {110, 0x06}, {111, 0x30}, {112, 0x10}, {113, 0x29},
                  {260, 0x25}, {263, 0x08}, {264, 0x15}, {265, 0x00}, {266, 0x07}, {267, 0x45}, {268, 0xff},
                  {269, 0x29}});
    alarms.programs[0][1] = {"11", "11", "1"};
    alarms.programs[0][2] = {"22", "22", "0"};
    alarms.programs[1][3] = {"33", "33", "1"};
    const JobResult<AlarmDownload> download = run(alarmDownloadJob());
    ASSERT_TRUE(download.ending.completed());
    applyDownload(download.data, alarms);
    EXPECT_EQ(alarms.parameters, (AlarmParameters{"05", "12", "03", "", "00", "04"}));
    EXPECT_EQ(alarms.programs[0][0], (AlarmEntry{"06", "30", "1"}));
    EXPECT_EQ(alarms.programs[0][1], (AlarmEntry{"29", "", ""}));
    EXPECT_EQ(alarms.programs[0][2], (AlarmEntry{"22", "22", "0"})) << "slots after the marker keep their texts";
    EXPECT_EQ(alarms.programs[1][0], (AlarmEntry{"25", "", ""})) << "an hour-only entry reads its hour alone";
    EXPECT_EQ(alarms.programs[1][1], (AlarmEntry{"08", "15", "0"}));
    EXPECT_EQ(alarms.programs[1][2], (AlarmEntry{"07", "45", ""}));
    EXPECT_EQ(alarms.programs[1][3], (AlarmEntry{"29", "", ""}));

    Frames expected{"R101\r", "R102\r", "R103\r", "R104\r", "R105\r", "R106\r", "R110\r", "R111\r", "R112\r",
                    "R113\r", "R260\r", "R263\r", "R264\r", "R265\r", "R266\r", "R267\r", "R268\r", "R269\r"};
    EXPECT_EQ(board->frameTexts(), withPreambles(expected));
    expectOneEnding("Status: Times Downloaded.");
}

TEST_F(AlarmTransfer, DownloadKeepsWhatDidNotAnswerAndSaysItIsIncomplete)
{
    setRegisters({{101, 0x05}, {110, 0x06}, {111, 0x30}, {112, 0x10}, {113, 0x07}, {114, 0x00},
                  {116, 0x08}, {260, 0x29}});
    board->setFaults({.unansweredReads = {102, 114, 116}});
    alarms.parameters[3] = "9";                     // C2, register 102
    alarms.programs[0][1] = {"11", "11", "1"};
    alarms.programs[0][2] = {"22", "22", "0"};
    const JobResult<AlarmDownload> download = run(alarmDownloadJob());
    EXPECT_EQ(download.ending.outcome, Outcome::Incomplete);
    EXPECT_EQ(download.ending.unanswered, 3);
    applyDownload(download.data, alarms);
    EXPECT_EQ(alarms.parameters[0], "05");
    EXPECT_EQ(alarms.parameters[3], "9") << "no answer is not \"00\"";
    EXPECT_EQ(alarms.programs[0][1], (AlarmEntry{"07", "11", ""})) << "the minute that did not answer stays";
    EXPECT_EQ(alarms.programs[0][2], (AlarmEntry{"22", "22", "0"})) << "the program stops at an unanswered hour";
    const Frames frames = board->frameTexts();
    EXPECT_EQ(std::ranges::find(frames, "R117\r"), frames.end());
    EXPECT_NE(std::ranges::find(frames, "R260\r"), frames.end()) << "program 2 is still read";
    expectOneEnding("Status: Download incomplete: 3 registers did not answer.");
}

// A byte its field cannot hold is no answer: the download is incomplete and keeps the old text.
TEST_F(AlarmTransfer, AByteItsFieldCannotHoldCountsAsNoAnswer)
{
    struct Row {
        int reg;
        uint8_t value;
        int unanswered;
        AlarmEntry first;      // program 1's first slot after the download
        QString parameter;     // C1 (register 101)
    } rows[] = {
        {101, 0x1a, 1, {"06", "30", "1"}, "9"},
        {101, 0x99, 0, {"06", "30", "1"}, "99"},
        {110, 0x24, 1, {"11", "11", "0"}, "05"},
        {110, 0x80, 1, {"11", "11", "0"}, "05"},
        {110, 0x23, 0, {"23", "30", "1"}, "05"},
        {111, 0x60, 1, {"06", "11", "1"}, "05"},
        {111, 0xdb, 1, {"06", "11", "1"}, "05"},
        {111, 0x59, 0, {"06", "59", "1"}, "05"},
        {112, 0xa0, 1, {"06", "30", "0"}, "05"},
        {112, 0x1f, 1, {"06", "30", "0"}, "05"},
        {112, 0x90, 0, {"06", "30", "9"}, "05"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.reg * 1000 + row.value);
        setRegisters({{101, 0x05}, {110, 0x06}, {111, 0x30}, {112, 0x10}, {113, 0x29}, {260, 0x29}});
        board->setRegister(row.reg, row.value);
        alarms.parameters[0] = "9";
        alarms.programs[0][0] = {"11", "11", "0"};
        const JobResult<AlarmDownload> download = run(alarmDownloadJob());
        EXPECT_EQ(download.ending.unanswered, row.unanswered);
        EXPECT_EQ(download.ending.outcome, row.unanswered ? Outcome::Incomplete : Outcome::Completed);
        applyDownload(download.data, alarms);
        EXPECT_EQ(alarms.programs[0][0], row.first);
        EXPECT_EQ(alarms.parameters[0], row.parameter);
    }
}

TEST_F(AlarmTransfer, ClearSendsItsEightFramesAndLeavesEverythingEmpty)
{
    EXPECT_EQ(run(alarmClearJob()).ending.outcome, Outcome::Completed);
    EXPECT_EQ(received(*board, 11), withPreambles({"W101FF\r", "W102FF\r", "W103FF\r", "W104FF\r", "W105FF\r",
                                                   "W106FF\r", "W11029\r", "W26029\r"}));
    const std::vector<int> pauses = sleeper.pauses();
    EXPECT_EQ(std::vector<int>(pauses.end() - 16, pauses.end()),
              (std::vector<int>{150, 10, 150, 10, 150, 10, 150, 10, 150, 10, 150, 10, 150, 10, 150, 10}));
    expectOneEnding("Status: Alarm Times Cleared.");
    alarms.parameters[0] = "5";
    alarms.programs[1][49] = {"06", "00", "1"};
    applyClear(alarms);
    EXPECT_EQ(alarms.parameters, AlarmParameters{});
    EXPECT_EQ(alarms.programs, AlarmPrograms{});
}

TEST_F(AlarmTransfer, NoBoardSaysCheckPortAndSpeedAlone)
{
    board->setFaults({.silent = true});
    EXPECT_EQ(run(alarmUploadJob(alarms)).ending.outcome, Outcome::CommunicationFailed);
    EXPECT_EQ(reporter.lines[0], "Status: Check COM port and Speed.");
    EXPECT_TRUE(reporter.boxes.empty());
    EXPECT_EQ(board->frameTexts(), (Frames{Sm7, TestFrame}));
}

TEST_F(AlarmTransfer, CancelStopsTheUploadBeforeItsNextFrame)
{
    for (int slot = 0; slot < AlarmSlots; ++slot)
        alarms.programs[0][slot] = {"06", "30", "1"};
    reporter.cancelAtStep = 8;
    EXPECT_EQ(run(alarmUploadJob(alarms)).ending.outcome, Outcome::Cancelled);
    EXPECT_EQ(received(*board, 3 + 8).size(), 11u);
    expectOneEnding("Status: Operation cancelled.");
}

TEST_F(AlarmTransfer, UnpluggedMidUploadEndsBoardLostWithTheFramesSent)
{
    for (int slot = 0; slot < 10; ++slot)
        alarms.programs[0][slot] = {"06", "30", "1"};
    unplugAtStep(9);
    const JobEnding ending = run(alarmUploadJob(alarms)).ending;
    EXPECT_EQ(ending.outcome, Outcome::BoardLost);
    EXPECT_EQ(ending.framesSent, 9);
    // Frames still in the line when it was cut may never reach the board; none follows them.
    EXPECT_LE(board->frameTexts().size(), 3u + 9u) << "nothing after the unplugged frame";
    expectOneEnding("Status: Failed: the board was lost after 9 frames; it may hold part of the data.");
}

} // namespace
