// The time-server dialog: its time zone and server lists, requests to the simulated time server
// and the uploads of their replies (also after the dialog has closed), failures in the status
// line, and the main window's button that opens it.
#include "support/test_support.h"
#include "support/ui_support.h"
#include "support/window_support.h"

#include "app/velmora_dlg.h"
#include "base/config_file.h"
#include "time/ui/ntp_server_dlg.h"
#include "time_server_sim.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

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
    }

    void writeConfig(const QString &settings, int port = 2)
    {
        data.writeConfig(QStringLiteral("[Settings]\nPort=%1\nBaud=2\n").arg(port) + settings);
    }

    std::unique_ptr<CNTPServerDlg> openDialog()
    {
        auto dialog = std::make_unique<CNTPServerDlg>(*requests, &window);
        dialog->zoneList()->setCurrentIndex(13);   // +1
        return dialog;
    }

    static void clickUpload(CNTPServerDlg &dialog)
    {
        QTest::mouseClick(childByNumber<QPushButton>(&dialog, CNTPServerDlg::UploadButton), Qt::LeftButton);
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
    CNTPServerDlg dialog;
    EXPECT_EQ(dialogNumber(&dialog), 173);
    EXPECT_EQ(dialog.windowTitle(), "Adjust Time & Date via NTP server Dialog");
    QComboBox *zones = childByNumber<QComboBox>(&dialog, CNTPServerDlg::ZoneList);
    ASSERT_EQ(zones, dialog.zoneList());
    ASSERT_EQ(zones->count(), 25);
    EXPECT_EQ(zones->itemText(0), "(GMT-12:00) International Date Line West");
    EXPECT_EQ(zones->itemText(4), "(GMT-08:00) Pacific Time (US & Canada); Tijuana");
    EXPECT_EQ(zones->itemText(13), "(GMT+01:00) Amsterdam, Belgrade, Copenhagen, Paris");
    EXPECT_EQ(zones->itemText(24), "(GMT +12:00) Auckland, Wellington, Fiji");
    EXPECT_EQ(zones->currentIndex(), 12) << "no TimeZone";
    EXPECT_EQ(zones->currentText(), "(GMT) Greenwich Mean Tim: Dublin, Lisbon, London");

    writeConfig("TimeZone=-5\n");
    CNTPServerDlg west;
    EXPECT_EQ(west.zoneList()->currentIndex(), 7);
    EXPECT_EQ(west.zoneList()->currentText(), "(GMT-05:00) Eastern Time (US & Canada); Bogota");
}

TEST_F(NtpServerDlg, ServerListShowsTheSixNamesAndSpeaksGerman)
{
    CNTPServerDlg dialog;
    QComboBox *servers = childByNumber<QComboBox>(&dialog, CNTPServerDlg::ServerList);
    ASSERT_EQ(servers, dialog.serverList());
    ASSERT_EQ(servers->count(), 6);
    EXPECT_EQ(servers->itemText(0), "Local");
    for (int index = 1; index < 6; ++index)
        EXPECT_EQ(servers->itemText(index), "") << index;
    EXPECT_EQ(servers->currentIndex(), 0);
    EXPECT_EQ(childByNumber<QLabel>(&dialog, CNTPServerDlg::ZoneLabel)->text(), "Select Time Zone:");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, CNTPServerDlg::ServerLabel)->text(), "Select NTP server:");
    EXPECT_EQ(childByNumber<QPushButton>(&dialog, CNTPServerDlg::UploadButton)->text(),
              "Upload Time && Date from NTP server");
    auto *close = childByNumber<QPushButton>(&dialog, CNTPServerDlg::CloseButton);
    EXPECT_EQ(close->text(), "Close");
    EXPECT_TRUE(close->isDefault());
    EXPECT_EQ(dialog.statusLine()->text(), "Status:");

    LoadLanguage("german", data.path());
    CNTPServerDlg german;
    EXPECT_EQ(german.windowTitle(), "Uhrzeit und Datum über NTP-Server einstellen");
    EXPECT_EQ(childByNumber<QLabel>(&german, CNTPServerDlg::ZoneLabel)->text(), "Zeitzone wählen:");
    EXPECT_EQ(childByNumber<QPushButton>(&german, CNTPServerDlg::CloseButton)->text(), "Schließen");
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
        {"address without a port", ServerMode::Answer, {}, "127.0.0.1:0", "Status: NTP Server Unvailable!"},
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
    writeConfig(QStringLiteral("NTPServer1=%1\n").arg(serverAddress()), 5);   // COM6: no device
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

using NtpButton = kt::WindowWithBoard;

TEST_F(NtpButton, OpensTheTimeServerDialogWhoseRequestsOutliveIt)
{
    TimeServerRequests *requests = nullptr;
    kt::whenModalOpens([&requests](QWidget *modal) {
        auto *dialog = qobject_cast<CNTPServerDlg *>(modal);
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
