// The read-back job every upload's verify runs, against the simulated board: one read frame per
// register in order, the answer in the caller's form, each unanswered register noted once, and
// a cancel that stops before the next frame without counting the reads it kept from going out.
#include "support/board_support.h"

#include "comm/protocol.h"
#include "comm/register_read_back.h"

#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::received;
using kt::Sm7;
using kt::TestFrame;

namespace {

using namespace std::chrono_literals;
using Frames = std::vector<std::string>;
using Reads = std::vector<std::optional<QString>>;

class RegisterReadBack : public kt::BoardTest {};

TEST_F(RegisterReadBack, ReadsEachRegisterOnceUntilTheEndOrACancel)
{
    struct Row {
        const char *name;
        std::vector<int> unanswered;
        int cancelAtStep;
        Outcome outcome;
        Frames reads;
        Reads shown;
        int unansweredCount;
    };
    const Row rows[] = {
        {"all answer", {}, -1, Outcome::Completed, {"R010\r", "R011\r", "R120\r"}, {"x0a", "x1b", "xff"}, 0},
        {"one is silent", {11}, -1, Outcome::Incomplete, {"R010\r", "R011\r", "R120\r"}, {"x0a", {}, "xff"}, 1},
        {"cancel after two", {}, 2, Outcome::Cancelled, {"R010\r", "R011\r"}, {"x0a", "x1b", {}}, 0},
        {"silent, then cancel", {11}, 2, Outcome::Cancelled, {"R010\r", "R011\r"}, {"x0a", {}, {}}, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        board->clearFrames();
        sleeper.clear();
        reporter.progressDone = 0;
        board->setRegister(10, 0x0a);
        board->setRegister(11, 0x1b);
        board->setRegister(120, 0xff);
        board->setFaults({.unansweredReads = row.unanswered});
        reporter.cancelAtStep = row.cancelAtStep;
        const auto job = registerReadBackJob(
            {Text::TimesDownloading, Text::TimesDownloaded, Text::TimesDownloadIncomplete},
            {{10, "x0a", {}}, {11, "x1b", {}}, {120, "xff", {}}},
            registerByteRead(10ms, [](std::uint8_t byte) { return QLatin1Char('x') + hexByte(byte); }));
        const JobResult<std::vector<RegisterCheck>> result = run(job);
        EXPECT_EQ(result.ending.outcome, row.outcome);
        EXPECT_EQ(result.ending.unanswered, row.unansweredCount);
        Reads shown;
        for (const RegisterCheck &check : result.data)
            shown.push_back(check.read);
        EXPECT_EQ(shown, row.shown);
        Frames expected{Sm7, TestFrame, Sm7};
        expected.insert(expected.end(), row.reads.begin(), row.reads.end());
        EXPECT_EQ(received(*board, expected.size()), expected);
        const std::vector<int> pauses = sleeper.pauses();
        EXPECT_EQ(std::ranges::count(pauses, 10), std::ptrdiff_t(row.reads.size())) << "the pause after each read";
    }
}

} // namespace
