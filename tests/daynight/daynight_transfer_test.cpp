// The day and night schedule's upload and download against the simulated board: the 106
// registers, their encodings, registers that do not answer and a board unplugged mid-upload;
// each job shows exactly one ending.
#include "support/board_support.h"

#include "base/text_encoding.h"
#include "daynight/daynight_transfer.h"

#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::received;
using kt::Sm7;
using kt::TestFrame;

namespace {

class DayNightTransfer : public kt::BoardTest {
protected:
    std::vector<std::string> upload()
    {
        EXPECT_EQ(run(scheduleUploadJob(schedule)).ending.outcome, Outcome::Completed);
        std::vector<std::string> frames = received(*board, 3 + 106);
        return {frames.begin() + 3, frames.end()};
    }

    DayNightSchedule schedule;
};

TEST_F(DayNightTransfer, UploadWritesEveryRegisterInOrderAsUpperCaseHex)
{
    schedule.brightness = "100";
    schedule.name = "Wien";
    schedule.times[int(DayTime::Rise)][0] = "730";
    schedule.times[int(DayTime::Begin)][0] = "0600";
    schedule.times[int(DayTime::End)][0] = "2200";
    schedule.times[int(DayTime::Set)][0] = "2359";
    schedule.times[int(DayTime::Set)][11] = "5";
    const std::vector<std::string> frames = upload();
    ASSERT_EQ(frames.size(), 106u);
    EXPECT_EQ(frames[0], "W89364\r");
    EXPECT_EQ(std::vector<std::string>(frames.begin() + 1, frames.begin() + 10),
              (std::vector<std::string>{"W89457\r", "W89569\r", "W89665\r", "W8976E\r", "W89800\r", "W89900\r",
                                        "W90000\r", "W90100\r", "W90200\r"}));
    EXPECT_EQ(std::vector<std::string>(frames.begin() + 10, frames.begin() + 18),
              (std::vector<std::string>{"W90349\r", "W9041E\r", "W90506\r", "W90600\r", "W90716\r", "W90800\r",
                                        "W90917\r", "W9103B\r"}))
        << "January: Rise 730 (hours 73), Begin, End, Set";
    EXPECT_EQ(frames[18], "W91100\r") << "an empty time goes as 0 and 0";
    EXPECT_EQ(frames[19], "W91200\r");
    EXPECT_EQ(frames[104], "W99705\r") << "a one-character time is both hours and minutes";
    EXPECT_EQ(frames[105], "W99805\r");
    const std::vector<int> pauses = sleeper.pauses();
    EXPECT_EQ(std::vector<int>(pauses.end() - 4, pauses.end()), (std::vector<int>{150, 10, 150, 10}));
    expectOneEnding("Status: Times Uploaded.");
}

// What the board cannot hold is refused before anything is sent; the first problem is named.
TEST(DayNightSchedule, ValuesTheBoardCannotHoldAreRefused)
{
    struct Row {
        const char *name;
        const char *brightness;
        const char *januaryRise;
        const char *problem;   // empty: the board takes it
    };
    const Row rows[] = {
        {"Kraków", "100", "0745", ""},
        {"€uro", "0", "", ""},
        {"Zürich", "05", "2359", ""},
        {"東京", "50", "0745", "holds characters the board cannot show: 東 京"},
        {"Graz", "300", "0745", "from 0 to 100, not \"300\""},
        {"Graz", "-5", "0745", "not \"-5\""},
        {"Graz", "", "0745", ""},
        {"Graz", "50 ", "0745", "not \"50 \""},
        {"Graz", "50", "-100", "January Rise must be empty or a time hhmm from 0000 to 2359, not \"-100\""},
        {"Graz", "50", "2460", "not \"2460\""},
        {"Graz", "50", "0760", "not \"0760\""},
        {"Graz", "50", "730", "not \"730\""},
        {"Graz", "50", "07:3", "not \"07:3\""},
    };
    kt::ScratchDataDir data;   // the English texts
    for (const Row &row : rows) {
        DayNightSchedule schedule{row.brightness, QString::fromUtf8(row.name), {}};
        schedule.times[int(DayTime::Rise)][0] = row.januaryRise;
        const QString problem = scheduleProblem(schedule);
        EXPECT_EQ(problem.isEmpty(), !*row.problem) << row.name << " " << row.brightness << " " << row.januaryRise;
        EXPECT_TRUE(problem.contains(QString::fromUtf8(row.problem))) << problem.toStdString();
    }
}

// Names come from the board byte for byte; printed, their control characters are spelled out
// and every key stays on its own line.
TEST(DayNightSchedule, ControlCharactersOfABoardsNamePrintSpelledOut)
{
    struct Row {
        QByteArray codes;
        const char *line;
    };
    const Row rows[] = {
        {QByteArray("Graz\0\0\0\0\0", 9), "Name=Graz"},
        {QByteArray("\x1b[2J\nX\0\0\0", 9), "Name=<ESC>[2J<LF>X"},
        {QByteArray("A\rB\x07\x7f\x81\xf3\x80\0", 9), "Name=A<CR>B<07><7f><81>ó€"},
    };
    for (const Row &row : rows) {
        const DayNightSchedule schedule{"50", boardNameOf(row.codes), {}};
        const QStringList lines = scheduleLines(schedule);
        EXPECT_EQ(lines.size(), 2 + 48);
        EXPECT_EQ(lines.value(0), QString::fromUtf8(row.line));
        EXPECT_EQ(lines.value(2), "January Rise=");
        EXPECT_EQ(toWindows1252(schedule.name), QByteArray(row.codes).replace('\0', "")) << "it travels back";
    }
}

TEST_F(DayNightTransfer, AnEmptyNameWritesNineZeros)
{
    const std::vector<std::string> frames = upload();
    for (int i = 1; i <= 9; ++i)
        EXPECT_EQ(frames[std::size_t(i)], "W" + std::to_string(893 + i) + "00\r");
    EXPECT_EQ(frames[0], "W89300\r");
}

TEST_F(DayNightTransfer, DownloadJoinsAnswerTextsAndReadsTheName)
{
    for (int reg = 893; reg <= 998; ++reg)
        board->setRegister(reg, 0);
    const std::pair<int, uint8_t> registers[] = {{893, 50}, {894, 'G'}, {895, 'r'}, {896, 'a'}, {897, 'z'},
                                                 {903, 6},  {904, 45},  {905, 255}, {906, 255}, {907, 255}, {908, 0}};
    for (auto [reg, value] : registers)
        board->setRegister(reg, value);
    const JobResult<DayNightDownload> download = run(scheduleDownloadJob());
    ASSERT_TRUE(download.ending.completed());
    applyDownload(download.data, schedule);
    EXPECT_EQ(schedule.brightness, "50");
    EXPECT_EQ(schedule.name, "Graz");
    EXPECT_EQ(schedule.times[int(DayTime::Rise)][0], "0645");
    EXPECT_EQ(schedule.times[int(DayTime::Begin)][0], "") << "255 and 255 is no time";
    EXPECT_EQ(schedule.times[int(DayTime::End)][0], "25500");
    EXPECT_EQ(schedule.times[int(DayTime::Set)][11], "0000");
    EXPECT_EQ(board->frameTexts().size(), 3u + 106u);
    EXPECT_EQ(board->frameTexts()[3], "R893\r");
    expectOneEnding("Status: Times Downloaded.");
}

TEST_F(DayNightTransfer, DownloadKeepsFieldsWhoseRegistersDidNotAnswer)
{
    for (int reg = 893; reg <= 998; ++reg)
        board->setRegister(reg, 1);
    board->setFaults({.unansweredReads = {893, 896, 904}});
    schedule.brightness = "40";
    schedule.name = "Oslo";
    schedule.times[int(DayTime::Rise)][0] = "0900";
    const JobResult<DayNightDownload> download = run(scheduleDownloadJob());
    EXPECT_EQ(download.ending.outcome, Outcome::Incomplete);
    EXPECT_EQ(download.ending.unanswered, 3);
    applyDownload(download.data, schedule);
    EXPECT_EQ(schedule.brightness, "40") << "not \"notconnected\"";
    EXPECT_EQ(schedule.name, "Oslo");
    EXPECT_EQ(schedule.times[int(DayTime::Rise)][0], "0900");
    EXPECT_EQ(schedule.times[int(DayTime::Begin)][0], "0101");
    expectOneEnding("Status: Download incomplete: 3 registers did not answer.");
}

TEST_F(DayNightTransfer, NoBoardSaysCheckPortAndSpeedAlone)
{
    board->setFaults({.silent = true});
    EXPECT_EQ(run(scheduleDownloadJob()).ending.outcome, Outcome::CommunicationFailed);
    EXPECT_EQ(reporter.lines[0], "Status: Check COM port and Speed.");
    EXPECT_EQ(board->frameTexts(), (std::vector<std::string>{Sm7, TestFrame}));
}

TEST_F(DayNightTransfer, UnpluggedAfterTwentyWritesEndsBoardLost)
{
    unplugAtStep(20);
    const JobEnding ending = run(scheduleUploadJob(schedule)).ending;
    EXPECT_EQ(ending.outcome, Outcome::BoardLost);
    EXPECT_EQ(ending.framesSent, 20);
    // Frames still in the line when it was cut may never reach the board; none follows them.
    EXPECT_LE(board->frameTexts().size(), 3u + 20u) << "nothing after the unplugged frame";
    expectOneEnding("Status: Failed: the board was lost after 20 frames; it may hold part of the data.");
}

} // namespace
