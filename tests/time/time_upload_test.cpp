// Uploading the PC's time and a manually entered time, against the simulated board: frames,
// pauses, one ending, a failed check, a cancel and an unplugged board.
#include "support/board_support.h"
#include "support/test_support.h"

#include "comm/operation.h"
#include "comm/reporter.h"
#include "comm/sleeper.h"
#include "time/time_upload.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::received;
using kt::Sm7;
using kt::TestFrame;

namespace {

using Frames = std::vector<std::string>;

// 09:05:07 on Sunday 6 December 2026.
QDateTime sundayMorning()
{
    return QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7));
}

// The check (preamble, test, close), the status step, the preamble again.
const std::vector<int> EnvelopePauses{150, 50, 150, 150, 50, 50, 150, 50};

std::vector<int> withEnvelope(const std::vector<int> &framePauses)
{
    std::vector<int> pauses = EnvelopePauses;
    pauses.insert(pauses.end(), framePauses.begin(), framePauses.end());
    return pauses;
}

Frames withPreambles(const Frames &frames)
{
    Frames all{Sm7, TestFrame, Sm7};
    all.insert(all.end(), frames.begin(), frames.end());
    return all;
}

const Frames SundayFrames{"W00007\r", "W00105\r", "W00209\r", "W00300\r", "W00406\r", "W00512\r", "W00626\r", "DLS\r"};

using UnpluggingReporter = kt::UnpluggingReporter;

class TimeUploadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        board = kt::startBoardOn(3, 9600);
        ASSERT_TRUE(board);
    }

    JobEnding run(const BoardJob<NoData> &job, SerialSettings settings = {3, 9600})
    {
        Operation operation(settings, reporter, job.texts.form, sleeper);
        return operation.run(job).ending;
    }

    Outcome uploadPc()
    {
        return run(pcTimeUploadJob([this] {
                       ++clockReads;
                       pausesBeforeClock = sleeper.pauses().size();
                       return sundayMorning();
                   })).outcome;
    }

    kt::ScratchDataDir data;
    std::unique_ptr<sim::BoardSim> board;
    RecordingSleeper sleeper;
    UnpluggingReporter reporter;
    int clockReads = 0;
    size_t pausesBeforeClock = 0;
};

TEST(ClockFields, FormatOneInstantAsTheBoardTakesIt)
{
    EXPECT_EQ(clockFieldsOf(sundayMorning()), (ClockValues{"07", "05", "09", "0", "06", "12", "26"}));
    // Saturday is 6; the year 2000 is 00.
    EXPECT_EQ(clockFieldsOf(QDateTime(QDate(2000, 1, 1), QTime(23, 59, 58))),
              (ClockValues{"58", "59", "23", "6", "01", "01", "00"}));
}

TEST(ClockFields, ManualTextsArePaddedExceptTheWeekdayAndEmptyOnes)
{
    EXPECT_EQ(paddedManualFields({"7", "05", "9", "3", "", "1", "26"}),
              (ClockValues{"07", "05", "09", "3", "", "01", "26"}));
}

TEST_F(TimeUploadTest, PcUploadSendsTheRegistersThenDlsWithTheirPauses)
{
    EXPECT_EQ(uploadPc(), Outcome::Completed);
    EXPECT_EQ(clockReads, 1);
    EXPECT_EQ(received(*board, 11), withPreambles(SundayFrames));
    EXPECT_EQ(sleeper.pauses(),
              withEnvelope({150, 20, 150, 20, 150, 20, 150, 30, 150, 30, 150, 30, 150, 30, 150, 30}));
    EXPECT_EQ(reporter.history,
              (std::vector<QString>{"0: Checking communication ...", "1: ", "2: ", "0: Communication OK.",
                                    "0: Uploading Time & Date ...", "1: ", "0: Time & Date Uploaded.", "1: "}));
    EXPECT_EQ(reporter.progressDone, 8);
    EXPECT_EQ(reporter.progressTotal, 8);
    EXPECT_TRUE(reporter.boxes.empty());
}

// The time is taken before the preamble goes out (its 150 ms on the line and 50 ms after it),
// not after: else a time at x.8 s would arrive a second late. With and without a good check.
TEST_F(TimeUploadTest, PcUploadTakesTheTimeBeforeThePreamble)
{
    struct Case {
        const char *name;
        bool silent;
        Outcome outcome;
    };
    const Case cases[] = {{"answered", false, Outcome::Completed}, {"check failed", true, Outcome::CommunicationFailed}};
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        board->setFaults({.silent = row.silent});
        sleeper.clear();
        EXPECT_EQ(uploadPc(), row.outcome);
        const std::vector<int> pauses = sleeper.pauses();
        ASSERT_LE(pausesBeforeClock, pauses.size());
        EXPECT_EQ(std::vector<int>(pauses.begin() + std::ptrdiff_t(pausesBeforeClock), pauses.end()),
                  (std::vector<int>{150, 50, 150, 20, 150, 20, 150, 20, 150, 30, 150, 30, 150, 30, 150, 30, 150, 30}))
            << "the preamble's pauses come after the clock was read";
    }
}

TEST_F(TimeUploadTest, PcUploadAfterAFailedCheckStillSendsItsFramesAndKeepsTheError)
{
    board->setFaults({.silent = true});
    EXPECT_EQ(uploadPc(), Outcome::CommunicationFailed);
    EXPECT_EQ(received(*board, 11), withPreambles(SundayFrames));
    EXPECT_EQ(reporter.lines[0], "Communication Error!");
    EXPECT_EQ(reporter.lines[1], "Check COM port and Speed.");
    EXPECT_EQ(reporter.history.back(), "1: Check COM port and Speed.");
}

TEST_F(TimeUploadTest, PcUploadOnAPortThatDoesNotOpenSaysSoAndSendsNothing)
{
    EXPECT_EQ(run(pcTimeUploadJob(sundayMorning), {4, 9600}).outcome, Outcome::PortError);
    ASSERT_EQ(reporter.boxes.size(), 1u);
    EXPECT_EQ(reporter.boxes[0].text, "Error Opening Communication Port!");
    EXPECT_EQ(reporter.boxes[0].icon, MessageIcon::Error);
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(TimeUploadTest, ManualUploadPadsTheFieldsAndSendsNoDls)
{
    const ClockValues typed{"7", "05", "9", "3", "6", "", "26"};
    EXPECT_EQ(run(manualTimeUploadJob(typed)).outcome, Outcome::Completed);
    const Frames expected{"W00007\r", "W00105\r", "W00209\r", "W00303\r", "W00406\r", "W005\r", "W00626\r"};
    EXPECT_EQ(received(*board, 10), withPreambles(expected));
    EXPECT_EQ(sleeper.pauses(), withEnvelope({150, 20, 150, 20, 150, 20, 150, 20, 150, 20, 150, 20, 150, 20}));
    EXPECT_EQ(reporter.history,
              (std::vector<QString>{"0: Status: Checking communication ...", "0: Status: Communication OK.",
                                    "0: Status: Uploading Time & Date ...", "0: Status: Time & Date Uploaded."}));
}

TEST_F(TimeUploadTest, ManualUploadAfterAFailedCheckSendsNothingAndShowsTheCombinedError)
{
    board->setFaults({.silent = true});
    EXPECT_EQ(run(manualTimeUploadJob(clockFieldsOf(sundayMorning()))).outcome, Outcome::CommunicationFailed);
    EXPECT_EQ(received(*board, 3), (Frames{Sm7, TestFrame}));
    EXPECT_EQ(reporter.lines[0], "Status: Communication Error! Check COM port and Speed.");
    EXPECT_TRUE(reporter.boxes.empty());
}

TEST_F(TimeUploadTest, CancelStopsBeforeTheNextFrame)
{
    reporter.cancelAtStep = 2;
    EXPECT_EQ(uploadPc(), Outcome::Cancelled);
    EXPECT_EQ(received(*board, 6), withPreambles({"W00007\r", "W00105\r"}));
    EXPECT_EQ(reporter.lines[0], "Operation cancelled.");
}

TEST_F(TimeUploadTest, UnpluggedMidUploadEndsBoardLostWithTheFramesSent)
{
    reporter.board = board.get();
    reporter.unplugAtStep = 3;
    const JobEnding ending = run(manualTimeUploadJob(clockFieldsOf(sundayMorning())));
    EXPECT_EQ(ending.outcome, Outcome::BoardLost);
    EXPECT_EQ(ending.framesSent, 3);
    // Frames still in the line when it was cut may never reach the board; none follows them.
    EXPECT_LE(board->frameTexts().size(), 3u + 3u) << "nothing after the unplugged frame";
    EXPECT_EQ(reporter.history.back(), "0: Status: Failed: the board was lost after 3 frames; it may hold part of the data.");
    EXPECT_EQ(std::ranges::count_if(reporter.history, [](const QString &line) { return line.contains("Uploaded"); }), 0);
}

} // namespace
