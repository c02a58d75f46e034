// The Adjust uploads and Adjust All against the simulated board: frames byte for byte and in
// order, the pauses, the texts, and Adjust All naming the groups that failed.
#include "support/board_support.h"

#include "params/parameter_upload.h"
#include "time/time_upload.h"

#include <gtest/gtest.h>
#include <thread>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::received;
using kt::Sm7;
using kt::TestFrame;
using P = ParamId;

namespace {

using Frames = std::vector<std::string>;

// The check (preamble, test, close), the status step, the preamble again.
const std::vector<int> EnvelopePauses{150, 50, 150, 150, 50, 50, 150, 50};

Frames withPreambles(const Frames &frames)
{
    Frames all{Sm7, TestFrame, Sm7};
    all.insert(all.end(), frames.begin(), frames.end());
    return all;
}

std::vector<int> withEnvelope(const std::vector<int> &framePauses)
{
    std::vector<int> pauses = EnvelopePauses;
    pauses.insert(pauses.end(), framePauses.begin(), framePauses.end());
    return pauses;
}

// Sleeps a few milliseconds for every pause: enough for the board's answers to the writes of one
// group to arrive before the next group opens the port, without the whole prescribed time.
class BriefSleeper final : public Sleeper {
public:
    void pause(Milliseconds duration) override
    {
        std::this_thread::sleep_for(std::min(duration, Milliseconds{5}));
    }
};

class ParameterUpload : public kt::BoardTest {
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        addEnding("All parameters uploaded.");   // Adjust All's own endings
        addEnding("Parameters uploaded, except");
    }

    Frames upload(Group group, size_t expectedFrames)
    {
        const JobResult<ParameterValues> result = run(groupUploadJob(group, values));
        EXPECT_EQ(result.ending.outcome, Outcome::Completed);
        values = result.data;
        return received(*board, expectedFrames + 3);
    }

    // Adjust All on the values; they take the digits it took.
    JobResult<AllUpload> uploadEverything()
    {
        Operation operation(Board, reporter, StatusForm::mainWindow(), briefSleeper);
        const TimeUpload time{pcTimeUploadJob([] { return QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)); }),
                              PcTimeUploadSteps};
        JobResult<AllUpload> all = uploadAll(values, time, operation);
        values = all.data.values;
        return all;
    }

    BriefSleeper briefSleeper;
    ParameterValues values;
};

TEST_F(ParameterUpload, ViewTimesEncodeEachFieldAndPauseTwentyThenThirty)
{
    for (auto [id, text] : {std::pair{P::Th, "7"}, {P::Td, "12"}, {P::Tt, "0"}, {P::Pc, "-3"}, {P::Tp, ""},
                            {P::Ac, "0"}, {P::HumidityView, "5"}, {P::HumidityCorrection, "-2"}})
        values.setText(id, text);
    const Frames frames = upload(Group::ViewTimes, 8);
    EXPECT_EQ(frames, withPreambles({"W00807\r", "W00912\r", "W01000\r", "W09813\r", "W011\r", "W49100\r",
                                     "W87305\r", "W87412\r"}))
        << "an empty field sends nothing after its register";
    EXPECT_EQ(sleeper.pauses(), withEnvelope({150, 20, 150, 30, 150, 30, 150, 30, 150, 30, 150, 30, 150, 30, 150, 30}));
    EXPECT_EQ(reporter.lines[0], "View times uploaded.");
    EXPECT_NE(std::ranges::find(reporter.history, QString("0: Uploading View times ...")), reporter.history.end());
}

TEST_F(ParameterUpload, PairsSendTheirStoredDigitsAndA0TakesTheBrightnessField)
{
    struct Case {
        std::function<void(ParameterValues &)> setUp;
        Group group;
        const char *frame;
    };
    const Case cases[] = {
        {[](ParameterValues &) {}, Group::A4, "W10000\r"},
        {[](ParameterValues &v) { v.setText(P::DisplayMode, "10"); v.setText(P::SerialProtocol, "2"); }, Group::A1, "W017a2\r"},
        {[](ParameterValues &v) { v.setText(P::DaylightSaving, "2"); v.setText(P::HourMode, "1"); }, Group::P9, "W01221\r"},
        {[](ParameterValues &v) { v.setText(P::InactivityPeriod, "5"); }, Group::A2, "W01805\r"},
        {[](ParameterValues &) {}, Group::A0, "W0130\r"},   // an empty Brightness field is an empty digit
        {[](ParameterValues &v) { v.digits().brightness().tickDayTime(true); }, Group::A0, "W0130A\r"},
        {[](ParameterValues &v) { v.setText(P::Brightness, "7"); }, Group::A0, "W01307\r"},
        {[](ParameterValues &v) { v.setText(P::Fade, "1"); v.digits().brightness().tickLightSensor(true); }, Group::A0, "W0131B\r"},
    };
    for (const Case &c : cases) {
        values = ParameterValues();
        board->clearFrames();
        c.setUp(values);
        EXPECT_EQ(upload(c.group, 1), withPreambles({c.frame})) << c.frame;
    }
    EXPECT_EQ(values.digits().digit(StoredDigit::Br2), "B") << "the last case ticked light sensor depending";
}

TEST_F(ParameterUpload, ByteMapWritesReadOneAnswerByteEach)
{
    values.setText(P::ByteMapFirst, "5");
    values.setText(P::ByteMapLast, "1a");
    const Frames frames = upload(Group::ByteMap, 16);
    Frames expected;
    for (int reg = 21; reg <= 36; ++reg)
        expected.push_back("W0" + std::to_string(reg) + (reg == 21 ? "05" : reg == 36 ? "1a" : "00") + "\r");
    EXPECT_EQ(frames, withPreambles(expected));
    for (const sim::ReceivedFrame &frame : board->frames(3))
        EXPECT_EQ(frame.answer.size(), 1u) << frame.bytes;
    // Each write is a query (150 ms after the write, 150 after the answer) and 30 ms.
    std::vector<int> framePauses;
    for (int i = 0; i < 16; ++i)
        framePauses.insert(framePauses.end(), {150, 150, 30});
    EXPECT_EQ(sleeper.pauses(), withEnvelope(framePauses));
    EXPECT_EQ(reporter.lines[0], "Parameters A5-C0 uploaded.");
}

TEST_F(ParameterUpload, OptionalGroupsHaveTheirOwnTextsAndTwentyMilliseconds)
{
    values.setText(P::TimingDirection, "1");
    values.setText(P::TimingHour, "3");
    EXPECT_EQ(upload(Group::SimpleTiming, 5), withPreambles({"W10701\r", "W09103\r", "W09200\r", "W09300\r", "W09400\r"}));
    EXPECT_EQ(reporter.lines[0], "Simple Timing uploaded.");

    board->clearFrames();
    values.setText(P::SelfTimerMode, "2");
    values.setText(P::SpeedUnit, "3");
    values.setText(P::Payment, "4");
    const Frames selfTimer = upload(Group::SelfTimer, 9);
    EXPECT_EQ(selfTimer[3], "W84902\r");
    EXPECT_EQ(selfTimer[4], "W85004\r");
    EXPECT_EQ(selfTimer[8], "W85403\r");
    EXPECT_EQ(reporter.lines[0], "Self Timer uploaded.");

    board->clearFrames();
    sleeper.clear();
    EXPECT_EQ(upload(Group::TimeZone, 2), withPreambles({"W09500\r", "W09600\r"}));
    EXPECT_EQ(sleeper.pauses(), withEnvelope({150, 20, 150, 20}));
    EXPECT_EQ(reporter.lines[0], "Time Zone uploaded.");
}

TEST_F(ParameterUpload, AdjustAllSendsTimeThenTheStandardGroupsWithListDigitsFromTheLists)
{
    values.setText(P::DisplayMode, "10");
    values.setText(P::SerialProtocol, "2");
    const JobResult<AllUpload> all = uploadEverything();
    EXPECT_TRUE(all.ending.completed());
    const Frames frames = board->frameTexts();
    EXPECT_NE(std::ranges::find(frames, "W017a2\r"), frames.end()) << "A1 from Adjust All as from its Adjust";
    EXPECT_NE(std::ranges::find(frames, "DLS\r"), frames.end());
    EXPECT_EQ(std::ranges::count(frames, TestFrame), 10) << "its own check, the time's and eight groups'";
    EXPECT_EQ(std::ranges::find(frames, "W10701\r"), frames.end()) << "Simple Timing is not part of it";
    EXPECT_EQ(reporter.lines[0], "All parameters uploaded.");
    EXPECT_EQ(endings().size(), 1u);
    // One progress bar: the time's eight steps and one per group frame, set once.
    EXPECT_EQ(reporter.progressTotal, PcTimeUploadSteps + 8 + 6 + 16);
    EXPECT_EQ(reporter.progressDone, reporter.progressTotal);

    // A list that shows another entry than its digit (as after Test Clock) sends the entry.
    board->clearFrames();
    values.digits().setDigit(StoredDigit::Se1, "a");
    values.setText(P::DisplayMode, "4");
    values.digits().setDigit(StoredDigit::Se1, "a");
    uploadEverything();
    const Frames again = board->frameTexts();
    EXPECT_NE(std::ranges::find(again, "W01742\r"), again.end());
    EXPECT_EQ(values.digits().digit(StoredDigit::Se1), "4");
}

TEST_F(ParameterUpload, AdjustAllNamesTheGroupsThatFailed)
{
    // The board answers Adjust All's check, the time upload (check and seven writes) and the
    // view times (check and eight writes), then falls silent: every later group fails its
    // check, and the final line says so.
    board->setFaults({.answerOnlyFirst = 18});
    const JobResult<AllUpload> all = uploadEverything();
    EXPECT_EQ(all.ending.outcome, Outcome::Incomplete);
    EXPECT_FALSE(all.data.timeFailed);
    EXPECT_EQ(all.data.failedGroups, (std::vector<Group>{Group::A0, Group::P9, Group::A1, Group::A2, Group::A3,
                                                         Group::A4, Group::ByteMap}));
    EXPECT_EQ(reporter.lines[0], "Parameters uploaded, except: A0, P9, A1, A2, A3, A4, A5-C0.");
    EXPECT_EQ(endings().size(), 1u);
    EXPECT_EQ(std::ranges::find(reporter.history, QString("0: Communication Error!")), reporter.history.end())
        << "a group's failed check is no ending of its own";
}

TEST_F(ParameterUpload, AdjustAllAgainstNoBoardEndsAtItsOwnCheck)
{
    board->setFaults({.silent = true});
    const JobResult<AllUpload> all = uploadEverything();
    EXPECT_EQ(all.ending.outcome, Outcome::CommunicationFailed);
    EXPECT_EQ(board->frameTexts(), (Frames{Sm7, TestFrame}));
    EXPECT_EQ(reporter.lines[0], "Communication Error!");
    EXPECT_EQ(reporter.lines[1], "Check COM port and Speed.");
}

TEST_F(ParameterUpload, CancelStopsAdjustAllBeforeTheNextGroup)
{
    reporter.cancelAtStep = 3;   // during the time upload's frames
    const JobResult<AllUpload> all = uploadEverything();
    EXPECT_EQ(all.ending.outcome, Outcome::Cancelled);
    const Frames frames = board->frameTexts();
    EXPECT_EQ(std::ranges::find(frames, "W00807\r"), frames.end());
    EXPECT_EQ(std::ranges::count(frames, TestFrame), 2);
    EXPECT_EQ(reporter.lines[0], "Operation cancelled.");
    EXPECT_EQ(endings().size(), 1u);
}

TEST_F(ParameterUpload, AdjustAllEndsWhenTheBoardIsLostWithTheFramesSent)
{
    unplugAtStep(PcTimeUploadSteps + 2);   // after two view-time writes
    const JobResult<AllUpload> all = uploadEverything();
    EXPECT_EQ(all.ending.outcome, Outcome::BoardLost);
    // The PC time sends its own preamble after taking the time, so it counts among the frames.
    EXPECT_EQ(all.ending.framesSent, 1 + PcTimeUploadSteps + 2);
    EXPECT_EQ(reporter.lines[0], "Failed: the board was lost after 11 frames; it may hold part of the data.");
    EXPECT_EQ(endings().size(), 1u);
    EXPECT_EQ(std::ranges::count(board->frameTexts(), TestFrame), 3) << "no group after the lost one";
}

} // namespace
