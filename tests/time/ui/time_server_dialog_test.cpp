// The time-server dialog: its time zone and server lists, requests to the simulated time server
// and the uploads of their replies (also after the dialog has closed, and behind another job of
// the session's queue), failures in the status line, and the main window's button that opens it.
#include "support/test_support.h"
#include "support/ui_support.h"
#include "support/window_support.h"

#include "app/main_window.h"
#include "base/config_file.h"
#include "time/ui/time_server_dialog.h"
#include "time_server_sim.h"
#include "widgets/board_panel.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::childByNumber;
namespace Timeout = kt::Timeout;
using ServerMode = sim::TimeServerSim::Mode;

namespace {

// 3600000000 shifted by +1 hour, as the board receives it: no "DLS" follows.
const std::vector<std::string> UploadFrames{kt::Sm7,    kt::TestFrame, kt::Sm7,    "W00000\r", "W00100\r",
                                            "W00217\r", "W00303\r",    "W00429\r", "W00501\r", "W00614\r"};

class NtpServerDlg : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(server.start("127.0.0.1", 0, &error)) << error;
        server.setSeconds(sim::SampleServerSeconds);
        writeConfig(QStringLiteral("NTPServer1=%1\nNTPServer1d=Local\n").arg(serverAddress()));
        board = kt::startBoardOn(3, 9600);
        ASSERT_TRUE(board);
        BoardQueues::instance().setSession({3, 9600});
    }

    void writeConfig(const QString &settings, int port = 2)
    {
        data.writeConfig(QStringLiteral("[Settings]\nPort=%1\nBaud=2\n").arg(port) + settings);
    }

    // Shown, as the window's button shows it: a reply's upload shows in the dialog while it is
    // open.
    std::unique_ptr<TimeServerDialog> openDialog()
    {
        auto dialog = std::make_unique<TimeServerDialog>(*requests, &window);
        dialog->zoneList()->setCurrentIndex(13);   // +1
        dialog->show();
        return dialog;
    }

    static void clickUpload(TimeServerDialog &dialog)
    {
        QTest::mouseClick(childByNumber<QPushButton>(&dialog, TimeServerDialog::UploadButton), Qt::LeftButton);
    }

    bool waitForEnd() { return QTest::qWaitFor([this] { return requests->outstanding() == 0; }, Timeout::DialogOperation); }

    QString serverAddress() const { return QString::fromStdString(server.address()); }

    QString uploadedStatus() const
    {
        return "Status: Time 17:00:00 29.01.14 uploaded from " + serverAddress() + ".";
    }

    kt::ScratchDataDir data;
    sim::TimeServerSim server;
    std::unique_ptr<sim::BoardSim> board;
    QWidget window;
    TimeServerRequests *requests = new TimeServerRequests(&window);
};

TEST_F(NtpServerDlg, ZoneListHoldsTheTwentyFiveZonesAndPreselectsTheStoredOne)
{
    TimeServerDialog dialog;
    EXPECT_EQ(dialogNumber(&dialog), 173);
    EXPECT_EQ(dialog.windowTitle(), "Adjust Time & Date via NTP server Dialog");
    QComboBox *zones = childByNumber<QComboBox>(&dialog, TimeServerDialog::ZoneList);
    ASSERT_EQ(zones, dialog.zoneList());
    ASSERT_EQ(zones->count(), 25);
    EXPECT_EQ(zones->itemText(0), "(GMT-12:00) International Date Line West");
    EXPECT_EQ(zones->itemText(4), "(GMT-08:00) Pacific Time (US & Canada); Tijuana");
    EXPECT_EQ(zones->itemText(13), "(GMT+01:00) Amsterdam, Belgrade, Copenhagen, Paris");
    EXPECT_EQ(zones->itemText(24), "(GMT +12:00) Auckland, Wellington, Fiji");
    EXPECT_EQ(zones->currentIndex(), 12) << "no TimeZone";
    EXPECT_EQ(zones->currentText(), "(GMT) Greenwich Mean Tim: Dublin, Lisbon, London");

    writeConfig("TimeZone=-5\n");
    TimeServerDialog west;
    EXPECT_EQ(west.zoneList()->currentIndex(), 7);
    EXPECT_EQ(west.zoneList()->currentText(), "(GMT-05:00) Eastern Time (US & Canada); Bogota");
    EXPECT_EQ(west.statusLine()->text(), "Status:");
}

// A stored TimeZone that is no zone: the nearest zone, or GMT for a text, and a warning.
TEST_F(NtpServerDlg, AStoredZoneThatIsNoneIsShownAsTheZoneUsedWithAWarning)
{
    struct Case {
        const char *stored;
        int index;
        const char *used;
    };
    for (const Case &row : {Case{"13", 24, "UTC+12"}, Case{"-40", 0, "UTC-12"}, Case{"abc", 12, "UTC+0"}}) {
        SCOPED_TRACE(row.stored);
        writeConfig(QStringLiteral("TimeZone=%1\n").arg(row.stored));
        TimeServerDialog dialog;
        EXPECT_EQ(dialog.zoneList()->currentIndex(), row.index);
        EXPECT_EQ(dialog.statusLine()->text(),
                  QStringLiteral("Status: config.ini [Settings] TimeZone \"%1\" is not a time zone from -12 to +12 hours; "
                                 "%2 is used.").arg(row.stored, row.used));
    }
}

TEST_F(NtpServerDlg, ServerListShowsTheSixNamesAndSpeaksGerman)
{
    TimeServerDialog dialog;
    QComboBox *servers = childByNumber<QComboBox>(&dialog, TimeServerDialog::ServerList);
    ASSERT_EQ(servers, dialog.serverList());
    ASSERT_EQ(servers->count(), 6);
    EXPECT_EQ(servers->itemText(0), "Local");
    for (int index = 1; index < 6; ++index)
        EXPECT_EQ(servers->itemText(index), "") << index;
    EXPECT_EQ(servers->currentIndex(), 0);
    EXPECT_EQ(childByNumber<QLabel>(&dialog, TimeServerDialog::ZoneLabel)->text(), "Select Time Zone:");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, TimeServerDialog::ServerLabel)->text(), "Select NTP server:");
    EXPECT_EQ(childByNumber<QPushButton>(&dialog, TimeServerDialog::UploadButton)->text(),
              "Upload Time && Date from NTP server");
    auto *close = childByNumber<QPushButton>(&dialog, TimeServerDialog::CloseButton);
    EXPECT_EQ(close->text(), "Close");
    EXPECT_TRUE(close->isDefault());
    EXPECT_EQ(dialog.statusLine()->text(), "Status:");

    LoadLanguage("german", data.path());
    TimeServerDialog german;
    EXPECT_EQ(german.windowTitle(), "Uhrzeit und Datum über NTP-Server einstellen");
    EXPECT_EQ(childByNumber<QLabel>(&german, TimeServerDialog::ZoneLabel)->text(), "Zeitzone wählen:");
    EXPECT_EQ(childByNumber<QPushButton>(&german, TimeServerDialog::CloseButton)->text(), "Schließen");
    // The zone texts are the same in every language.
    EXPECT_EQ(german.zoneList()->itemText(12), "(GMT) Greenwich Mean Tim: Dublin, Lisbon, London");
}

TEST_F(NtpServerDlg, RequestStoresTheZoneAndUploadsTheReplyWithoutDls)
{
    auto dialog = openDialog();
    clickUpload(*dialog);
    EXPECT_EQ(dialog->statusLine()->text(), "Status: Please Wait ...");
    EXPECT_EQ(configFile().read("Settings", "TimeZone"), "1");
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(kt::received(*board, UploadFrames.size()), UploadFrames);
    EXPECT_EQ(board->frameTexts().size(), UploadFrames.size());
    EXPECT_EQ(dialog->statusLine()->text(), uploadedStatus());
}

TEST_F(NtpServerDlg, TwoQuickRequestsGiveTwoUploads)
{
    auto dialog = openDialog();
    clickUpload(*dialog);
    clickUpload(*dialog);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(server.requestCount(), 2);
    std::vector<std::string> twice = UploadFrames;
    twice.insert(twice.end(), UploadFrames.begin(), UploadFrames.end());
    EXPECT_EQ(kt::received(*board, twice.size()), twice);
    EXPECT_EQ(dialog->statusLine()->text(), uploadedStatus());
}

TEST_F(NtpServerDlg, FailuresShowInTheStatusLineAndSendNothing)
{
    struct Case {
        const char *name;
        ServerMode mode;
        std::string reply;
        QString server;
        const char *status;
    };
    const Case cases[] = {
        {"silent server", ServerMode::Silent, {}, serverAddress(), "Status: NTP Server Unvailable!"},
        {"short reply", ServerMode::Answer, std::string("\xd6\x93\xa4", 3), serverAddress(),
         "Status: NTP Server Unvailable!"},
        {"a port that is none", ServerMode::Answer, {}, "127.0.0.1:0",
         "Status: The server address \"127.0.0.1:0\" is not valid: the port \"0\" is not a number from 1 to 65535"},
        {"a host that is none", ServerMode::Answer, {}, "no such host!:37",
         "Status: The server address \"no such host!:37\" is not valid: \"no such host!\" is not a host name or an IP address"},
    };
    requests->setTimeoutMs(Timeout::ShortServerReply);
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        server.setMode(row.mode);
        server.setReply(row.reply);
        writeConfig("NTPServer1=" + row.server + "\n");
        auto dialog = openDialog();
        clickUpload(*dialog);
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->statusLine()->text() == row.status; }, Timeout::EventArrives));
        ASSERT_TRUE(waitForEnd());
    }
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(NtpServerDlg, ABoardThatDoesNotAnswerLeavesTheTimeUnset)
{
    BoardQueues::instance().setSession({6, 9600});   // COM6: no device
    auto dialog = openDialog();
    clickUpload(*dialog);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(dialog->statusLine()->text(), "Status: The board did not answer; the time was not set.");
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(NtpServerDlg, AReplyAfterTheDialogClosedIsStillUploaded)
{
    server.setMode(ServerMode::Hold);
    {
        auto dialog = openDialog();
        clickUpload(*dialog);
        ASSERT_TRUE(QTest::qWaitFor([this] { return server.requestCount() == 1; }, Timeout::EventArrives));
        dialog->accept();
    }
    server.answerHeld();
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(kt::received(*board, UploadFrames.size()), UploadFrames);
}

// The main window with its time-server requests, and a time server that holds its replies.
class WindowWithTimeServer : public kt::WindowWithBoard {
protected:
    void SetUp() override
    {
        kt::WindowWithBoard::SetUp();
        std::string error;
        ASSERT_TRUE(server.start("127.0.0.1", 0, &error)) << error;
        server.setSeconds(sim::SampleServerSeconds);
        server.setMode(ServerMode::Hold);
        requests = window->findChild<TimeServerRequests *>();
        ASSERT_NE(requests, nullptr);
    }

    sim::TimeServerSim server;
    TimeServerRequests *requests = nullptr;
};

// A job of a queue that runs until the test lets it end, also when the test fails before; the
// worker shares its flags, so they outlive the test's object.
class BlockingJob {
public:
    explicit BlockingJob(BoardQueue &queue)
    {
        queue.start([flags = m_flags](Reporter &) {
            flags->running = true;
            while (!flags->released)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        });
    }
    ~BlockingJob() { release(); }
    bool running() const { return m_flags->running; }
    void release() { m_flags->released = true; }

private:
    struct Flags {
        std::atomic<bool> running{false};
        std::atomic<bool> released{false};
    };
    std::shared_ptr<Flags> m_flags = std::make_shared<Flags>();
};

TEST_F(WindowWithTimeServer, AReplyDuringAnotherJobWaitsForItThenUploads)
{
    BlockingJob running(window->queue());
    ASSERT_TRUE(QTest::qWaitFor([&running] { return running.running(); }, Timeout::EventArrives));
    const QString address = QString::fromStdString(server.address());
    requests->request(address, 1);
    ASSERT_TRUE(server.waitForRequests(1, Timeout::EventArrives));
    server.answerHeld();
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return window->messageLine(0)->text() == LookupText(Text::ServerTimeQueued); }, Timeout::EventArrives));
    EXPECT_EQ(requests->outstanding(), 1);
    EXPECT_TRUE(board->frameTexts().empty()) << "nothing goes out while the other job runs";

    const auto released = std::chrono::steady_clock::now();
    running.release();
    ASSERT_TRUE(QTest::qWaitFor([this] { return requests->outstanding() == 0; }, Timeout::DialogOperation));
    EXPECT_EQ(kt::received(*board, UploadFrames.size()), UploadFrames);
    ASSERT_FALSE(board->frames().empty());
    EXPECT_GE(board->frames().front().time, released);
    EXPECT_EQ(window->messageLine(0)->text(), "Time 17:00:00 29.01.14 uploaded from " + address + ".");
}

using NtpButton = kt::WindowWithBoard;

TEST_F(NtpButton, OpensTheTimeServerDialogWhoseRequestsOutliveIt)
{
    TimeServerRequests *requests = nullptr;
    kt::whenModalOpens([&requests](QWidget *modal) {
        auto *dialog = qobject_cast<TimeServerDialog *>(modal);
        ASSERT_NE(dialog, nullptr);
        requests = &dialog->requests();
        dialog->accept();
    });
    QTest::mouseClick(window->button(MainButton::NtpTime), Qt::LeftButton);
    ASSERT_NE(requests, nullptr);
    EXPECT_EQ(requests->parent(), window.get());
    EXPECT_NE(window->messageLine(0)->text(), "This operation is not available in this version yet.");
}

} // namespace
