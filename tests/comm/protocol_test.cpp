// Frames, the operation envelope in both status forms, versions and the port scan, against
// the simulated board.
#include "support/process_support.h"
#include "support/board_support.h"

#include "base/language.h"
#include "comm/protocol.h"
#include "comm/telnet_codec.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace kestrix;
using namespace std::chrono_literals;
namespace kt = kestrix::testing;
using kt::received;
using kt::Sm7;
using kt::TestFrame;

namespace {

TEST(Frames, RegisterNumbersAndValuesArePadded)
{
    EXPECT_EQ(Frame::registerWrite("5", "7"), "W00507\r");
    EXPECT_EQ(Frame::registerWrite("45", "15"), "W04515\r");
    EXPECT_EQ(Frame::registerRead("123"), "R123\r");
    EXPECT_EQ(Frame::variableRead("7"), "r007\r");
    EXPECT_EQ(Frame::variableClear("42"), "w04200\r");
    EXPECT_EQ(Frame::registerWrite("5", ""), "W005\r");
}

TEST(Frames, ToHexTextGivesTwoLowerCaseDigits)
{
    EXPECT_EQ(ToHexText("69"), "45");
    EXPECT_EQ(ToHexText("10"), "0a");
    EXPECT_EQ(ToHexText("255"), "ff");
    EXPECT_EQ(ToHexText("00"), "00");
    EXPECT_EQ(ToHexText("notconnected"), "00");
}

const JobTexts ViewTexts{Text::ViewsUploading, Text::ViewsUploaded, {}};
const StatusForm DialogForm = StatusForm::dialog({Text::CheckPortAndSpeed});
const StatusForm TwoTextDialogForm = StatusForm::dialog({Text::CommunicationError, Text::CheckPortAndSpeed});

class EnvelopeTest : public kt::BoardTest {
protected:
    Outcome upload(StatusForm form, JobTexts texts = ViewTexts)
    {
        texts.form = std::move(form);
        return run(BoardJob<NoData>{texts, [](Exchange &exchange, NoData &) { exchange.writeRegister(8, "15", 10ms); }, {}})
            .ending.outcome;
    }
};

TEST_F(EnvelopeTest, CheckSendsPreambleThenTestAndNeedsExactlyHello)
{
    Operation operation(Board, reporter, StatusForm::mainWindow(), sleeper);
    EXPECT_EQ(operation.CheckCommunication(), CheckResult::Answered);
    EXPECT_EQ(received(*board, 2), (std::vector<std::string>{Sm7, TestFrame}));
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{150, 50, 150, 150, 50}));
    EXPECT_EQ(reporter.lines[0], "Checking communication ...");

    board->setFaults({.wrongAnswers = true});   // "hello"
    EXPECT_EQ(operation.CheckCommunication(), CheckResult::NoAnswer);
    board->setFaults({.silent = true});
    EXPECT_EQ(operation.CheckCommunication(), CheckResult::NoAnswer);
}

TEST_F(EnvelopeTest, MainWindowFormShowsEachStepAndTheFrames)
{
    EXPECT_EQ(upload(StatusForm::mainWindow()), Outcome::Completed);
    EXPECT_EQ(received(*board, 4), (std::vector<std::string>{Sm7, TestFrame, Sm7, "W00815\r"}));
    EXPECT_EQ(board->registerValue(8), 0x15);
    EXPECT_EQ(reporter.history, (std::vector<QString>{
                                    "0: Checking communication ...", "1: ", "2: ", "0: Communication OK.",
                                    "0: Uploading View times ...", "1: ", "0: View times uploaded.", "1: "}));
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{150, 50, 150, 150, 50, 50, 150, 50, 150, 10}));
}

TEST_F(EnvelopeTest, FailedCheckStopsTheOperationWithTheFormsFailureText)
{
    board->setFaults({.silent = true});
    EXPECT_EQ(upload(StatusForm::mainWindow()), Outcome::CommunicationFailed);
    EXPECT_EQ(reporter.lines[0], "Communication Error!");
    EXPECT_EQ(reporter.lines[1], "Check COM port and Speed.");
    EXPECT_EQ(received(*board, 2), (std::vector<std::string>{Sm7, TestFrame}));

    EXPECT_EQ(upload(DialogForm), Outcome::CommunicationFailed);
    EXPECT_EQ(reporter.lines[0], "Status: Check COM port and Speed.");
    EXPECT_EQ(upload(TwoTextDialogForm), Outcome::CommunicationFailed);
    EXPECT_EQ(reporter.lines[0], "Status: Communication Error! Check COM port and Speed.");
    EXPECT_TRUE(reporter.boxes.empty());
}

TEST_F(EnvelopeTest, DialogFormUsesItsSingleStatusLine)
{
    EXPECT_EQ(upload(DialogForm, {Text::TimesUploading, Text::TimesUploaded, {}}), Outcome::Completed);
    EXPECT_EQ(reporter.history, (std::vector<QString>{"0: Status: Checking communication ...",
                                                      "0: Status: Communication OK.",
                                                      "0: Status: Uploading Times ...",
                                                      "0: Status: Times Uploaded."}));
}

TEST_F(EnvelopeTest, PcTimeUploadGoesOnAfterAFailedCheckWithoutItsFinalText)
{
    board->setFaults({.silent = true});
    JobTexts texts{Text::TimeUploading, Text::TimeUploaded, {}};
    texts.goOnAfterFailedCheck = true;
    EXPECT_EQ(upload(StatusForm::mainWindow(), texts), Outcome::CommunicationFailed);
    EXPECT_EQ(received(*board, 4), (std::vector<std::string>{Sm7, TestFrame, Sm7, "W00815\r"}));
    EXPECT_EQ(reporter.lines[0], "Communication Error!");
}

TEST_F(EnvelopeTest, VersionsReachTheStatusLinesWithControlCharactersSpelledOut)
{
    // A title change and a screen clear, then a C1 control (0x81 in Windows-1252).
    board->setVersions("\x1b]0;owned\x07KX", "\x1b[2J\x81");
    Operation operation(Board, reporter, StatusForm::mainWindow(), sleeper);
    const VersionTexts versions = operation.ReadVersions();
    EXPECT_EQ(versions.software, "sw: <ESC>]0;owned<07>KX");
    EXPECT_EQ(versions.hardware, "hw: <ESC>[2J<81>");
    EXPECT_EQ(reporter.lines[1], versions.software);
    EXPECT_EQ(reporter.lines[2], versions.hardware);
}


TEST_F(EnvelopeTest, AFailedCheckNamesTheOtherProgramsThatHaveThePortOpen)
{
    board->setFaults({.silent = true});
    kt::OtherProgram other(QString::fromStdString(board->devicePath()));
    ASSERT_TRUE(other.started());
    const QString named = QStringLiteral("Also open in: cat (pid %1)").arg(other.pid());

    EXPECT_EQ(upload(StatusForm::mainWindow()), Outcome::CommunicationFailed);
    EXPECT_EQ(reporter.lines[0], "Communication Error!");
    EXPECT_EQ(reporter.lines[1], "Check COM port and Speed.");
    EXPECT_EQ(reporter.lines[2], named);

    EXPECT_EQ(upload(TwoTextDialogForm), Outcome::CommunicationFailed);
    EXPECT_EQ(reporter.lines[0], "Status: Communication Error! Check COM port and Speed. " + named);
}

// Takes the board away as soon as the check has passed.
class UnplugAfterCheck : public RecordingReporter {
public:
    explicit UnplugAfterCheck(sim::BoardSim &board) : m_board(board) {}
    void setLine(int index, const QString &text) override
    {
        RecordingReporter::setLine(index, text);
        if (text == "Communication OK.")
            m_board.hangUp();
    }

private:
    sim::BoardSim &m_board;
};

TEST_F(EnvelopeTest, PortThatFailsAfterAGoodCheckShowsTheErrorBoxAndSendsNothing)
{
    UnplugAfterCheck unplugging(*board);
    Operation operation(Board, unplugging, StatusForm::mainWindow(), sleeper);
    bool framesSent = false;
    EXPECT_EQ(operation.run(ViewTexts, [&](Exchange &) { framesSent = true; }).outcome, Outcome::PortError);
    EXPECT_FALSE(framesSent);
    ASSERT_EQ(unplugging.boxes.size(), 1u);
    EXPECT_EQ(unplugging.boxes[0].text, "Error Opening Communication Port!");
    EXPECT_EQ(unplugging.boxes[0].icon, MessageIcon::Error);
}

TEST_F(EnvelopeTest, WriteAnsweredPadsAndReturnsTheAnswer)
{
    Operation operation(Board, reporter, StatusForm::mainWindow(), sleeper);
    ASSERT_EQ(operation.channel().Open(Board.port, Board.speed), SerialChannel::Opened);
    EXPECT_EQ(operation.exchange().writeAnswered("5", "7", 1), "07");
    operation.channel().Close();
    EXPECT_EQ(board->frameTexts().back(), "W00507\r");
    EXPECT_EQ(sleeper.pauses().back(), 30);
}

TEST_F(EnvelopeTest, RegisterReadsGiveTheByteOrNoAnswerNeverAFakeZero)
{
    board->setRegister(45, 0x0a);
    board->setVariable(7, 200);
    Operation operation(Board, reporter, StatusForm::mainWindow(), sleeper);
    Exchange &exchange = operation.exchange();
    ASSERT_EQ(operation.channel().Open(Board.port, Board.speed), SerialChannel::Opened);
    EXPECT_EQ(exchange.readRegister(45, 10ms), std::optional<std::uint8_t>(0x0a));
    EXPECT_EQ(exchange.readVariable(7, 10ms), std::optional<std::uint8_t>(200));
    board->setFaults({.silent = true});
    EXPECT_EQ(exchange.readRegister(45, 10ms), std::nullopt);
    EXPECT_EQ(exchange.query(Frame::SoftwareVersion, 24), std::nullopt);
    operation.channel().Close();
    EXPECT_EQ(received(*board, 4), (std::vector<std::string>{"R045\r", "r007\r", "R045\r", "\x1bSV?\r"}));
}

// Cancels as soon as the given line text is shown.
class CancelOnText : public RecordingReporter {
public:
    explicit CancelOnText(QString text) : m_text(std::move(text)) {}
    void setLine(int index, const QString &text) override
    {
        RecordingReporter::setLine(index, text);
        m_cancelled = m_cancelled || text == m_text;
    }
    bool cancelled() const override { return m_cancelled; }

private:
    QString m_text;
    bool m_cancelled = false;
};

// Three register writes, one step each; counts the steps that went on.
Outcome uploadInSteps(Operation &operation, int &stepsDone)
{
    return operation.run(ViewTexts, [&](Exchange &exchange) {
        exchange.setTotalSteps(3);
        for (int reg = 8; reg <= 10; ++reg) {
            exchange.writeRegister(reg, "15", 10ms);
            if (!exchange.step())
                return;
            ++stepsDone;
        }
    }).outcome;
}

TEST_F(EnvelopeTest, CancelStopsBeforeTheNextFrameAndSaysSo)
{
    reporter.cancelAtStep = 1;
    Operation operation(Board, reporter, StatusForm::mainWindow(), sleeper);
    int stepsDone = 0;
    EXPECT_EQ(uploadInSteps(operation, stepsDone), Outcome::Cancelled);
    EXPECT_EQ(stepsDone, 0);
    EXPECT_FALSE(operation.channel().isOpen());
    EXPECT_EQ(reporter.lines[0], "Operation cancelled.");
    EXPECT_EQ(reporter.progressDone, 1);
    EXPECT_EQ(received(*board, 4), (std::vector<std::string>{Sm7, TestFrame, Sm7, "W00815\r"}));
    EXPECT_EQ(board->registerValue(9), 0xff) << "nothing after the cancelled step";

    // Cancelled between the check and the frames: nothing of the operation goes out.
    board->clearFrames();
    CancelOnText early("Uploading View times ...");
    Operation second(Board, early, StatusForm::mainWindow(), sleeper);
    EXPECT_EQ(uploadInSteps(second, stepsDone), Outcome::Cancelled);
    EXPECT_EQ(early.lines[0], "Operation cancelled.");
    EXPECT_EQ(received(*board, 2), (std::vector<std::string>{Sm7, TestFrame}));
}

// Reads R008-R010, one step each, counting the reads that got no answer.
void readThree(Exchange &exchange, NoData &)
{
    exchange.setTotalSteps(3);
    for (int reg = 8; reg <= 10; ++reg) {
        if (!exchange.readRegister(reg, 10ms))
            exchange.noteUnanswered();
        if (!exchange.step())
            return;
    }
}

TEST_F(EnvelopeTest, EveryJobEndsWithExactlyOneEndingChosenAfterItsFrames)
{
    const BoardJob<NoData> job{{Text::ParametersDownloading, Text::ParametersDownloaded, Text::DownloadUnanswered},
                               readThree, {}};
    struct Case {
        const char *name;
        sim::Faults faults;
        int unplugAtStep;
        int cancelAtStep;
        Outcome outcome;
        int framesSent;
        QString ending;
    };
    const Case cases[] = {
        {"completed", {}, -1, -1, Outcome::Completed, 3, "Parameters downloaded."},
        {"incomplete", {.unansweredReads = {9}}, -1, -1, Outcome::Incomplete, 3,
         "Parameters downloaded; 1 registers did not answer."},
        {"board lost", {}, 1, -1, Outcome::BoardLost, 1,
         "Failed: the board was lost after 1 frames; it may hold part of the data."},
        {"cancelled", {}, -1, 1, Outcome::Cancelled, 1, "Operation cancelled."},
        {"check failed", {.silent = true}, -1, -1, Outcome::CommunicationFailed, 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        board = kt::startBoardOn(Board.port);
        ASSERT_TRUE(board);
        board->setFaults(c.faults);
        reporter = kt::UnpluggingReporter(board.get(), c.unplugAtStep);
        reporter.cancelAtStep = c.cancelAtStep;
        const JobEnding ending = run(job).ending;
        EXPECT_EQ(ending.outcome, c.outcome);
        EXPECT_EQ(ending.framesSent, c.framesSent);
        EXPECT_EQ(ending.text, c.ending);
        EXPECT_EQ(endings().size(), 1u) << "one ending line, no completion before an incomplete or lost one";
        if (!c.ending.isEmpty())
            EXPECT_EQ(reporter.lines[0], c.ending);
    }
}

} // namespace

// Telnet framing towards network serial servers: 0xFF doubles in data both ways, and a command
// or subnegotiation split over several reads is still one event, its data kept apart.
TEST(TelnetCodec, SplitsDataFromCommandsAcrossReads)
{
    using namespace kestrix::telnet;
    EXPECT_EQ(escaped(QByteArray("W05\xff\r", 5)), QByteArray("W05\xff\xff\r", 6));
    EXPECT_EQ(subnegotiation(ComPort, QByteArray("\x01\x00\x00\xff\xff", 5)),
              QByteArray("\xff\xfa\x2c\x01\x00\x00\xff\xff\xff\xff\xff\xf0", 12));
    struct Case {
        const char *name;
        std::vector<QByteArray> pieces;
        QByteArray data;
        std::vector<Event> events;
    };
    const QByteArray greeting("\xff\xfd\x2c" "He\xff\xffllo" "\xff\xfa\x2c\x65\x00\x00\x25\x80\xff\xf0", 20);
    const std::vector<Event> greeted{{Do, ComPort, {}}, {Sb, ComPort, QByteArray("\x65\x00\x00\x25\x80", 5)}};
    const Case cases[] = {
        {"in one read", {greeting}, QByteArray("He\xffllo", 6), greeted},
        {"byte by byte", {}, QByteArray("He\xffllo", 6), greeted},
        {"no-operation ignored", {QByteArray("A\xff\xf1" "B", 4)}, "AB", {}},
        {"escaped 0xFF inside a subnegotiation", {QByteArray("\xff\xfa\x2c\x01\xff\xff\xff\xf0", 8)}, {},
         {{Sb, ComPort, QByteArray("\x01\xff", 2)}}},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        std::vector<QByteArray> pieces = row.pieces;
        if (pieces.empty()) {
            for (char byte : greeting)
                pieces.emplace_back(1, byte);
        }
        Decoder decoder;
        QByteArray data;
        std::vector<Event> events;
        for (const QByteArray &piece : pieces)
            decoder.feed(piece, data, events);
        EXPECT_EQ(data, row.data);
        EXPECT_EQ(events, row.events);
    }
}
