// The clock information dialog: the variables of vars.txt it lists (in UTF-16 too), Download and
// Clear Information against the simulated board, the password prompt and how it holds the
// password, and a missing vars.txt.
#include "support/holding_sleeper.h"
#include "support/test_support.h"
#include "support/ui_support.h"

#include "app/main_window.h"
#include "base/language.h"
#include "info/held_password.h"
#include "info/ui/clock_info_dialog.h"
#include "info/ui/password_dialog.h"
#include "widgets/board_panel.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStringEncoder>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

namespace kt = kestrix::testing;
using kt::childByNumber;

constexpr int ShippedVariables = 15;
constexpr int HoursOfOperation = 0;   // row of "Hours of operation" (Int, registers 410-411)
constexpr int WatchdogResets = 3;     // row of "Watchdog resets" (Char, register 416)

// A data folder with the shipped vars.txt naming the simulated board's port (COM3, 9600 bps).
class InfoDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        data.writeConfig("[Settings]\nPort=2\nBaud=2\nadmin=Secret\n");
        BoardQueues::instance().setSession({3, 9600});
        board = kt::startBoardOn(3, 9600);
        ASSERT_TRUE(board);
    }

    static QPushButton *button(QWidget &dialog, int control) { return childByNumber<QPushButton>(&dialog, control); }

    static QString value(ClockInfoDialog &dialog, int row)
    {
        return dialog.list()->topLevelItem(row)->text(ClockInfoDialog::ValueColumn);
    }

    static void clickAndWait(ClockInfoDialog &dialog, int control)
    {
        QTest::mouseClick(button(dialog, control), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&dialog] { return !dialog.panel()->busy(); }, kt::Timeout::DialogOperation));
    }

    // Clear Information with `typed` entered in the prompt and OK pressed (or Cancel when
    // `cancel`); returns the text of a message box the prompt showed.
    QString clearWith(ClockInfoDialog &dialog, const QString &typed, bool cancel = false)
    {
        QString message;
        // A message box the prompt shows is read and closed; the watch ends with this call.
        QTimer boxWatch;
        boxWatch.setInterval(20);
        QObject::connect(&boxWatch, &QTimer::timeout, [&message] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                message = box->text();
                box->accept();
            }
        });
        boxWatch.start();
        kt::whenModalOpens([&](QWidget *modal) {
            auto *prompt = qobject_cast<PasswordDialog *>(modal);
            ASSERT_TRUE(prompt);
            EXPECT_EQ(prompt->passwordEdit()->echoMode(), QLineEdit::Password);
            QTest::keyClicks(prompt->passwordEdit(), typed);
            QTest::mouseClick(button(*prompt, cancel ? PasswordDialog::CancelButton : PasswordDialog::OkButton),
                              Qt::LeftButton);
        });
        clickAndWait(dialog, ClockInfoDialog::ClearButton);
        return message;
    }

    bool boardReceived(const std::string &frame) const
    {
        const std::vector<std::string> frames = board->frameTexts();
        return std::ranges::find(frames, frame) != frames.end();
    }

    kt::ScratchDataDir data;
    std::unique_ptr<sim::BoardSim> board;
};

TEST_F(InfoDialog, OpensWithTheShippedVariablesNamedAndNoValues)
{
    ClockInfoDialog dialog;
    EXPECT_EQ(dialogNumber(&dialog), 175);
    EXPECT_EQ(dialog.windowTitle(), "Clock Information");
    EXPECT_EQ(dialog.panel()->queue().settings(), (SerialSettings{3, 9600}));
    QTreeWidget *list = dialog.list();
    EXPECT_EQ(controlNumber(list), 1054);
    ASSERT_EQ(list->topLevelItemCount(), ShippedVariables);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "Hours of operation");
    EXPECT_EQ(list->topLevelItem(4)->text(0), "Last power failure");
    EXPECT_EQ(list->topLevelItem(14)->text(0), "Light sensor level");
    EXPECT_EQ(value(dialog, 0), "");
    EXPECT_EQ(list->headerItem()->text(0), "Parameter");
    EXPECT_EQ(list->headerItem()->text(1), "Value");
    EXPECT_EQ(list->columnWidth(0), 260);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(button(dialog, 1208)->text(), "Download Information");
    EXPECT_EQ(button(dialog, 1129)->text(), "Clear Information");
    EXPECT_EQ(button(dialog, 1)->text(), "Close");
    EXPECT_EQ(dialog.statusLine()->text(), "Status:");
    EXPECT_FALSE(dialog.panel()->progressBar()->isVisibleTo(&dialog));
    EXPECT_TRUE(board->frameTexts().empty());

    LoadLanguage("german", data.path());
    ClockInfoDialog german;
    EXPECT_EQ(german.windowTitle(), "Uhreninformationen");
    EXPECT_EQ(button(german, 1208)->text(), "Informationen herunterladen");
    EXPECT_EQ(button(german, 1129)->text(), "Informationen löschen");
    PasswordDialog prompt;
    EXPECT_EQ(childByNumber<QLabel>(&prompt, 1205)->text(), "Passwort eingeben:");
    LoadLanguage("english", data.path());
}

TEST_F(InfoDialog, TheMainWindowsClockInformationButtonOpensIt)
{
    MainWindow window;
    window.clockTimer().stop();
    int rows = -1;
    kt::whenModalOpens([&rows](QWidget *modal) {
        if (auto *dialog = qobject_cast<ClockInfoDialog *>(modal))
            rows = dialog->list()->topLevelItemCount();
    });
    QTest::mouseClick(window.button(1128), Qt::LeftButton);
    EXPECT_EQ(rows, ShippedVariables);
    EXPECT_TRUE(window.messageLine(0)->text().isEmpty());
}

TEST_F(InfoDialog, DownloadShowsTheBoardsValues)
{
    board->setRegister(410, 0x30);
    board->setRegister(411, 0x39);
    ClockInfoDialog dialog;
    clickAndWait(dialog, ClockInfoDialog::DownloadButton);
    EXPECT_EQ(value(dialog, HoursOfOperation), "12345");
    EXPECT_EQ(value(dialog, 1), "65535");   // registers the board never had set read 0xFF
    EXPECT_EQ(value(dialog, WatchdogResets), "-1");
    EXPECT_TRUE(dialog.list()->topLevelItem(HoursOfOperation)->toolTip(1).isEmpty());
    EXPECT_TRUE(boardReceived("R410\r"));
    EXPECT_TRUE(boardReceived("r030\r"));
    EXPECT_EQ(dialog.statusLine()->text(), "Status: Informations readed from clock.");
    EXPECT_TRUE(button(dialog, ClockInfoDialog::DownloadButton)->isEnabled());
}

TEST_F(InfoDialog, ClosingDuringADownloadCancelsIt)
{
    // The download is held inside its first pause, so it is running when the dialog closes.
    kt::HoldingSleeper hold(0);
    BoardQueue &queue = BoardQueues::instance().session();
    queue.setSleeper(hold);
    auto dialog = std::make_unique<ClockInfoDialog>();
    QTest::mouseClick(button(*dialog, ClockInfoDialog::DownloadButton), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&hold] { return hold.held(); }, kt::Timeout::DialogOperation));
    EXPECT_TRUE(dialog->panel()->running());
    // Asked whether to close mid-job: close anyway.
    kt::whenModalOpens([](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        ASSERT_NE(box, nullptr);
        for (QAbstractButton *choice : box->buttons()) {
            const QMessageBox::ButtonRole role = box->buttonRole(choice);
            if (role == QMessageBox::YesRole || role == QMessageBox::AcceptRole || role == QMessageBox::DestructiveRole)
                return choice->click();
        }
    });
    dialog->reject();
    dialog.reset();
    hold.releaseAll();
    // The job belongs to the session's queue, which outlives the dialog: it ends cancelled there.
    ASSERT_TRUE(QTest::qWaitFor([&queue] { return !queue.busy(); }, kt::Timeout::DialogOperation));
    queue.setSleeper(defaultSleeper());
    EXPECT_FALSE(boardReceived("R440\r")) << "the download went on after the dialog closed";
}

TEST_F(InfoDialog, AVariableThatDoesNotAnswerShowsNoValue)
{
    board->setFaults({.unansweredReads = {410}});
    ClockInfoDialog dialog;
    clickAndWait(dialog, ClockInfoDialog::DownloadButton);
    QTreeWidgetItem *hours = dialog.list()->topLevelItem(HoursOfOperation);
    EXPECT_EQ(hours->text(1), "");
    EXPECT_EQ(hours->toolTip(1), "no answer");
    EXPECT_EQ(value(dialog, WatchdogResets), "-1");
    EXPECT_TRUE(dialog.statusLine()->text().contains("1 variables did not answer")) << dialog.statusLine()->text().toStdString();
}

TEST_F(InfoDialog, ClearingWithTheStoredPasswordZeroesTheBoardsVariables)
{
    board->setRegister(410, 0x30);
    ClockInfoDialog dialog;
    EXPECT_EQ(clearWith(dialog, "Secret"), "");
    EXPECT_TRUE(boardReceived("W41000\r"));
    EXPECT_TRUE(boardReceived("w03000\r"));
    EXPECT_EQ(board->registerValue(410), 0);
    EXPECT_EQ(value(dialog, HoursOfOperation), "0");
    EXPECT_EQ(dialog.statusLine()->text(), "Status: All informations deleted.");
}

TEST_F(InfoDialog, AWrongPasswordOrCancelClearsNothing)
{
    board->setRegister(410, 0x30);
    ClockInfoDialog dialog;
    EXPECT_EQ(clearWith(dialog, "secret"), "Wrong Password! Can't clear parameters.");
    EXPECT_EQ(clearWith(dialog, "Secret", true), "");
    EXPECT_TRUE(board->frameTexts().empty());
    EXPECT_EQ(board->registerValue(410), 0x30);

    // Without a stored password nothing clears, and an empty entry says nothing.
    data.writeConfig("[Settings]\nPort=2\nBaud=2\n");
    EXPECT_EQ(clearWith(dialog, ""), "");
    EXPECT_EQ(clearWith(dialog, "Secret"), "Wrong Password! Can't clear parameters.");
    EXPECT_TRUE(board->frameTexts().empty());
}

// While the prompt is open the process writes no core dump; what was typed is overwritten in
// the edit's own buffer once the prompt is done with it, after OK or Cancel.
TEST_F(InfoDialog, ThePromptHoldsThePasswordWithoutCoreDumpsAndWipesIt)
{
    const bool before = coreDumpsAllowed();
    ClockInfoDialog dialog;
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "Cancel" : "OK");
        bool dumpsWhileOpen = true;
        QString shown;   // shares its characters with the edit's
        kt::whenModalOpens([&](QWidget *modal) {
            auto *prompt = qobject_cast<PasswordDialog *>(modal);
            ASSERT_TRUE(prompt);
            dumpsWhileOpen = coreDumpsAllowed();
            EXPECT_EQ(prompt->passwordEdit()->maxLength(), 1024);
            QTest::keyClicks(prompt->passwordEdit(), "Secret");
            shown = prompt->passwordEdit()->text();
            QTest::mouseClick(button(*prompt, cancel ? PasswordDialog::CancelButton : PasswordDialog::OkButton),
                              Qt::LeftButton);
        });
        clickAndWait(dialog, ClockInfoDialog::ClearButton);
        EXPECT_FALSE(dumpsWhileOpen);
        EXPECT_EQ(coreDumpsAllowed(), before);
        EXPECT_EQ(shown, QString(6, QChar(0)));
    }
}

// vars.txt in UTF-16 lists its names without the byte order mark's characters.
TEST_F(InfoDialog, ListsTheNamesOfAUtf16VarsTxt)
{
    QFile file(data.file("vars.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QStringEncoder(QStringConverter::Utf16LE, QStringEncoder::Flag::WriteBom)
                   .encode(QStringLiteral("Außentemperatur;432;SInt;Par\r\nTür;414;Int;Par\r\n")));
    file.close();
    ClockInfoDialog dialog;
    ASSERT_EQ(dialog.list()->topLevelItemCount(), 2);
    EXPECT_EQ(dialog.list()->topLevelItem(0)->text(0), "Außentemperatur");
    EXPECT_EQ(dialog.list()->topLevelItem(1)->text(0), "Tür");
}

TEST_F(InfoDialog, WithoutVarsTxtTheListIsEmptyAndEachDownloadSaysSo)
{
    QFile::remove(data.file("vars.txt"));
    int boxes = 0;
    const auto expectFileBox = [&boxes] {
        kt::whenModalOpens([&boxes](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            ASSERT_TRUE(box);
            EXPECT_TRUE(box->text().startsWith("File Opening Error!\n")) << box->text().toStdString();
            EXPECT_TRUE(box->text().contains("vars.txt")) << box->text().toStdString();
            EXPECT_EQ(box->icon(), QMessageBox::Critical);
            ++boxes;
        });
    };
    expectFileBox();
    ClockInfoDialog dialog;
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(dialog.list()->topLevelItemCount(), 0);
    expectFileBox();
    clickAndWait(dialog, ClockInfoDialog::DownloadButton);
    EXPECT_EQ(boxes, 2);
    EXPECT_TRUE(board->frameTexts().empty());

    // Once the file is back, a download lists its variables and reads them.
    QFile vars(data.file("vars.txt"));
    ASSERT_TRUE(vars.open(QIODevice::WriteOnly));
    vars.write("Hours of operation;410;Int;Par\n");
    vars.close();
    board->setRegister(410, 0x30);
    board->setRegister(411, 0x39);
    clickAndWait(dialog, ClockInfoDialog::DownloadButton);
    ASSERT_EQ(dialog.list()->topLevelItemCount(), 1);
    EXPECT_EQ(value(dialog, HoursOfOperation), "12345");
}

TEST_F(InfoDialog, LinesBeyondFiftyVariablesAreCountedInTheStatusLine)
{
    QFile file(data.file("vars.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (int line = 0; line < 53; ++line)
        file.write(QStringLiteral("Counter %1;%2;Char;Par\n").arg(line).arg(100 + line).toUtf8());
    file.close();
    ClockInfoDialog dialog;
    EXPECT_EQ(dialog.list()->topLevelItemCount(), 50);
    EXPECT_EQ(dialog.statusLine()->text(), "Status: 3 lines of vars.txt beyond 50 variables were not used.");
}

} // namespace
} // namespace kestrix
