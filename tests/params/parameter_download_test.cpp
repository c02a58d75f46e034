// Download Configuration against the simulated board: the reads in order, the conversions
// into the controls' values, the clock box, and registers that do not answer.
#include "support/board_support.h"

#include "params/parameter_download.h"

#include <gtest/gtest.h>
#include <algorithm>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::Sm7;
using kt::TestFrame;
using P = ParamId;

namespace {

class ParameterDownload : public kt::BoardTest {
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        for (int reg = 0; reg < 1000; ++reg)
            board->setRegister(reg, 0);
        const std::pair<int, uint8_t> clock[] = {{0, 0x09}, {1, 0x05}, {2, 0x14}, {3, 0x07}, {4, 0x06}, {5, 0x12}, {6, 0x26}};
        for (auto [reg, value] : clock)
            board->setRegister(reg, value);
    }

    JobResult<Download> download() { return run(downloadJob()); }
};

TEST_F(ParameterDownload, ReadsTheClockThenEveryRegisterInOrder)
{
    const JobResult<Download> job = download();
    ASSERT_EQ(job.ending.outcome, Outcome::Completed);
    const Download &result = job.data;
    std::vector<std::string> expected{Sm7, TestFrame, Sm7};
    for (int reg = 0; reg <= 6; ++reg)
        expected.push_back("R00" + std::to_string(reg) + "\r");
    for (const char *reg : {"008", "009", "010", "011", "098", "491", "873", "874", "012", "013", "017", "018", "019",
                            "021", "022", "023", "024", "025", "026", "027", "028", "029", "030", "031", "032", "033",
                            "034", "035", "036", "095", "096", "107", "091", "092", "093", "094", "849", "850", "851",
                            "852", "853", "854", "855", "856", "857"})
        expected.push_back(std::string("R") + reg + "\r");
    EXPECT_EQ(board->frameTexts(), expected);
    // Each read: 150 ms after the frame, 150 after the answer, then 10 ms.
    const std::vector<int> pauses = sleeper.pauses();
    ASSERT_GE(pauses.size(), 52u * 3);
    for (size_t i = pauses.size() - 52 * 3; i < pauses.size(); i += 3)
        EXPECT_EQ((std::vector<int>{pauses[i], pauses[i + 1], pauses[i + 2]}), (std::vector<int>{150, 150, 10}));
    EXPECT_EQ(result.clock, (ClockLines{"14:05:09", "06.12.26.", "7"}));
    EXPECT_EQ(clockBoxText(result.clock), "14:05:09\r\n06.12.26.\r\n7");
    EXPECT_EQ(job.ending.unanswered, 0);
    EXPECT_EQ(reporter.lines[0], "Parameters downloaded.");
}

TEST_F(ParameterDownload, ConvertsEachRegisterAsItsControlShowsIt)
{
    const std::pair<int, uint8_t> registers[] = {
        {8, 0x05}, {9, 0x15}, {10, 0x99}, {98, 0x13}, {491, 0x25}, {874, 0x12}, {12, 0x12}, {13, 0x17},
        {17, 0xa2}, {21, 0x1a}, {107, 0x01}, {849, 0x02}, {854, 0x03}, {850, 0x05},
    };
    for (auto [reg, value] : registers)
        board->setRegister(reg, value);
    ParameterValues values;
    values.apply(download().data.update);
    const std::pair<ParamId, const char *> shown[] = {
        {P::Th, "5"}, {P::Td, "15"}, {P::Tt, "99"}, {P::Tp, "0"}, {P::Pc, "-3"}, {P::Ac, "5"},
        {P::HumidityCorrection, "-2"}, {P::DaylightSaving, "1"}, {P::HourMode, "2"}, {P::Fade, "1"},
        {P::Brightness, "7"}, {P::DisplayMode, "10"}, {P::SerialProtocol, "2"}, {P::ByteMapFirst, "1a"},
        {ParamId(int(P::ByteMapFirst) + 1), "00"}, {P::TimingDirection, "1"}, {P::SelfTimerMode, "2"}, {P::SpeedUnit, "3"},
        {P::Payment, "05"},
    };
    for (auto [id, text] : shown)
        EXPECT_EQ(values.text(id), text) << parameter(id).caption;
    EXPECT_EQ(values.digits().digit(StoredDigit::Se1), "a");
    EXPECT_EQ(values.digits().digit(StoredDigit::Direction), "1");
    EXPECT_FALSE(values.digits().brightness().dependent());

    board->setRegister(13, 0x0a);
    values.apply(download().data.update);
    EXPECT_EQ(values.text(P::Fade), "0");
    EXPECT_TRUE(values.digits().brightness().dayTimeTicked());
}

TEST_F(ParameterDownload, UnansweredRegistersKeepTheirValuesAndAreCounted)
{
    board->setFaults({.unansweredReads = {2, 3, 8, 17}});
    ParameterValues values;
    values.setText(P::Th, "9");
    values.setText(P::DisplayMode, "10");
    values.setText(P::Td, "4");
    const JobResult<Download> job = download();
    const Download &result = job.data;
    values.apply(result.update);
    EXPECT_EQ(values.text(P::Th), "9") << "no answer is not \"00\"";
    EXPECT_EQ(values.text(P::DisplayMode), "10");
    EXPECT_EQ(values.digits().digit(StoredDigit::Se1), "a");
    EXPECT_EQ(values.text(P::Td), "0") << "an answered register still overwrites its field";
    EXPECT_EQ(result.clock, (ClockLines{"--:05:09", "06.12.26.", "--"}));
    EXPECT_EQ(job.ending.outcome, Outcome::Incomplete);
    EXPECT_EQ(job.ending.unanswered, 4);
    EXPECT_EQ(reporter.lines[0], "Parameters downloaded; 4 registers did not answer.");
    EXPECT_EQ(std::ranges::count(reporter.history, QString("0: Parameters downloaded.")), 0)
        << "the incomplete ending only, no completion before it";
}

// An answer that cannot be its register's value counts as no answer: the control keeps its
// value (both digits of a pair), the ending counts the register.
TEST_F(ParameterDownload, AnswersNoControlWouldHoldCountAsUnanswered)
{
    struct Case {
        int reg;
        uint8_t byte;
        ParamId kept;        // a row of the register, whose value stays
        const char *why;
    };
    const Case cases[] = {
        {10, 0x0a, P::Tt, "tt takes the digits 0-9"},
        {11, 0xf3, P::Tp, "f3 is no number"},
        {874, 0x1f, P::HumidityCorrection, "-f is no correction"},
        {12, 0x50, P::HourMode, "Ar digit 1: the list has 4 entries"},
        {17, 0xc0, P::SerialProtocol, "SE digit 1: no 13th display mode"},
        {13, 0x25, P::Brightness, "br digit 1: fade is 1 or 0"},
        {849, 0x05, P::SelfTimerMode, "SF has 3 entries"},
        {850, 0x10, P::Payment, "payment is 0-9"},
        {107, 0x02, P::TimingDirection, "the direction is 1 or 0"},
    };
    ParameterValues before;
    before.setText(P::Tt, "3");
    before.setText(P::Tp, "4");
    before.setText(P::HumidityCorrection, "-1");
    before.setText(P::HourMode, "1");
    before.setText(P::SerialProtocol, "2");
    before.setText(P::Brightness, "6");
    before.setText(P::SelfTimerMode, "1");
    before.setText(P::Payment, "7");
    before.setText(P::TimingDirection, "1");
    for (const Case &c : cases)
        board->setRegister(c.reg, c.byte);
    board->setRegister(0, 0x5a);   // seconds: the clock keeps decimal digits
    const JobResult<Download> job = download();
    ParameterValues after = before;
    after.apply(job.data.update);
    for (const Case &c : cases)
        EXPECT_EQ(after.text(c.kept), before.text(c.kept)) << c.why;
    EXPECT_EQ(job.data.clock[0], "14:05:--");
    EXPECT_EQ(job.ending.outcome, Outcome::Incomplete);
    EXPECT_EQ(job.ending.unanswered, int(std::size(cases)) + 1);
}

// A register the board was never given (0xFF) is taken as it always was, not counted.
TEST_F(ParameterDownload, UnsetRegistersAreNoMissingAnswers)
{
    for (int reg : downloadRegisters())
        board->setRegister(reg, 0xff);
    const JobResult<Download> job = download();
    EXPECT_EQ(job.ending.outcome, Outcome::Completed);
    EXPECT_EQ(job.ending.unanswered, 0);
}

TEST_F(ParameterDownload, NoBoardOrCancelIsNoDownloadToKeep)
{
    board->setFaults({.silent = true});
    JobResult<Download> result = download();
    EXPECT_EQ(result.ending.outcome, Outcome::CommunicationFailed);
    EXPECT_FALSE(result.ending.ran());
    EXPECT_TRUE(result.data.update.empty());
    EXPECT_EQ(board->frameTexts(), (std::vector<std::string>{Sm7, TestFrame}));

    board->setFaults({});
    reporter.cancelAtStep = 10;
    result = download();
    EXPECT_EQ(result.ending.outcome, Outcome::Cancelled);
    EXPECT_FALSE(result.ending.ran());
    EXPECT_EQ(reporter.lines[0], "Operation cancelled.");
}

} // namespace
