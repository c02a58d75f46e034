// The main window's parameter buttons against a simulated board: the Adjust buttons and Adjust
// All upload what the controls show, Download Configuration fills the controls and the clock
// box, Save and Load go through the file dialogs.
#include "support/process_support.h"
#include "support/test_support.h"
#include "support/ui_support.h"
#include "support/window_support.h"

#include "app/main_window.h"
#include "params/parameter_download.h"
#include "params/ui/parameter_area.h"
#include "board_preset.h"
#include "widgets/comparison_marks.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kestrix {
namespace {

namespace kt = kestrix::testing;
using kt::Sm7;
using kt::TestFrame;

constexpr int APointsEntry = 10;   // "A  Points" in the Display Mode list

// Types `path` into a file dialog's name field, as a user would, and accepts the dialog.
void typeAndAccept(QFileDialog *dialog, const QString &path)
{
    auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(path);
    static_cast<QDialog *>(dialog)->accept();   // QFileDialog::accept checks the choice
}

class ParameterButtons : public kt::WindowWithBoard {
protected:
    void SetUp() override
    {
        WindowWithBoard::SetUp();
        window->show();
    }

    ParameterArea &params() const { return *window->parameters(); }
    QString line(int index) const { return window->messageLine(index)->text(); }
    QString text(ParamId id) const { return params().edit(id)->text(); }
    int entry(ParamId id) const { return params().list(id)->currentIndex(); }

    // Display Mode "A  Points" and serial protocol entry 2: the A1 register's "a2".
    void pickAPointsAndProtocol2()
    {
        params().list(ParamId::DisplayMode)->setCurrentIndex(APointsEntry);
        params().list(ParamId::SerialProtocol)->setCurrentIndex(2);
    }

    bool sent(const std::string &frame) const
    {
        const std::vector<std::string> frames = board->frameTexts();
        return std::ranges::find(frames, frame) != frames.end();
    }

    QString clockBox() const { return window->control<QPlainTextEdit>(1084)->toPlainText(); }

    // Clicks Save or Load and, in its file dialog, picks `path` (or cancels).
    void chooseFile(int button, const QString &path, bool accept = true)
    {
        kt::whenModalOpens([path, accept](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            ASSERT_NE(dialog, nullptr);
            if (accept)
                typeAndAccept(dialog, path);
            else
                dialog->reject();
        });
        QTest::mouseClick(window->button(button), Qt::LeftButton);
    }

    // Clicks Save or Load, picks `path` and records the message box that follows.
    void chooseFileExpectingBox(int button, const QString &path, QString *boxText, QString *reason)
    {
        kt::whenModalOpens([path, boxText, reason](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            ASSERT_NE(dialog, nullptr);
            recordNextBox(boxText, reason);
            typeAndAccept(dialog, path);
        });
        QTest::mouseClick(window->button(button), Qt::LeftButton);
    }

    // Says Yes to the question before replacing a file, then records the text of the next box.
    static void recordNextBox(QString *boxText, QString *reason)
    {
        kt::whenModalOpens([boxText, reason](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            ASSERT_NE(box, nullptr);
            if (QAbstractButton *yes = box->button(QMessageBox::Yes)) {
                recordNextBox(boxText, reason);
                yes->click();
                return;
            }
            // The file-error box: "File Opening Error!", then the reason on the lines after it.
            *boxText = box->text().section(u'\n', 0, 0);
            *reason = box->text().section(u'\n', 1);
            EXPECT_EQ(box->icon(), QMessageBox::Critical);
            box->accept();
        });
    }
};

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// ---------------------------------------------------------------------------------------------
// Adjust and Adjust All

TEST_F(ParameterButtons, AdjustSendsItsGroupsFramesFromWhatTheControlsShow)
{
    pickAPointsAndProtocol2();
    clickAndWait(window->button(1016));
    const std::vector<std::string> expected{Sm7, TestFrame, Sm7, "W017a2\r"};
    EXPECT_EQ(kt::received(*board, expected.size()), expected);
    EXPECT_EQ(line(0), "Parameter A1 uploaded.");
}

TEST_F(ParameterButtons, AdjustKeepsWhatWasTypedWhileItRan)
{
    params().edit(ParamId::Brightness)->setText("7");
    QTest::mouseClick(window->button(1013), Qt::LeftButton);
    ASSERT_TRUE(window->queue().busy());
    EXPECT_FALSE(window->button(1013)->isEnabled()) << "no second upload while one runs";
    params().edit(ParamId::Th)->setText("42");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->queue().busy(); }, testing::Timeout::DialogOperation));

    EXPECT_TRUE(sent("W01307\r"));
    EXPECT_EQ(text(ParamId::Th), "42") << "typed while the upload ran";
    EXPECT_EQ(line(0), "Parameter A0 uploaded.");
}

TEST_F(ParameterButtons, AdjustAllUploadsTheTimeThenEveryStandardGroupAndTakesBackTheListDigits)
{
    params().list(ParamId::SerialProtocol)->setCurrentIndex(2);
    {
        // The list shows an entry its digit does not hold, as after Test Clock.
        const QSignalBlocker quiet(params().list(ParamId::DisplayMode));
        params().list(ParamId::DisplayMode)->setCurrentIndex(APointsEntry);
    }
    ASSERT_EQ(window->digits().digit(StoredDigit::Se1), "0");
    params().edit(ParamId::Th)->setText("7");
    QTest::mouseClick(window->button(MainButton::AdjustAll), Qt::LeftButton);
    params().edit(ParamId::Td)->setText("42");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->queue().busy(); }, testing::Timeout::LongOperation));

    const std::vector<std::string> frames = board->frameTexts();
    const auto at = [&frames](const std::string &frame) { return std::ranges::find(frames, frame) - frames.begin(); };
    EXPECT_LT(at("DLS\r"), at("W00807\r")) << "the time first";
    EXPECT_LT(at("W00807\r"), at("W017a2\r"));
    EXPECT_LT(at("W017a2\r"), std::ptrdiff_t(frames.size()));
    EXPECT_EQ(frames.back().substr(0, 4), "W036") << "the byte map last";
    EXPECT_TRUE(std::ranges::none_of(frames, [](const std::string &frame) { return frame.starts_with("W095"); }))
        << "no time zone";
    EXPECT_EQ(line(0), "All parameters uploaded.");
    EXPECT_EQ(window->digits().digit(StoredDigit::Se1), "a") << "taken from the list";
    EXPECT_EQ(text(ParamId::Td), "42") << "typed while the upload ran";
}

TEST_F(ParameterButtons, AdjustAllAgainstABoardFallenSilentNamesWhatFailed)
{
    pickAPointsAndProtocol2();
    board->setFaults(sim::Faults{.answerOnlyFirst = 1});   // Adjust All's own check only
    clickAndWait(window->button(MainButton::AdjustAll));
    EXPECT_FALSE(sent("W017a2\r"));
    EXPECT_EQ(line(0), "Parameters uploaded, except: Time & Date, View times, A0, P9, A1, A2, A3, A4, A5-C0.");
}

// ---------------------------------------------------------------------------------------------
// Download Configuration

TEST_F(ParameterButtons, DownloadFillsTheControlsAndTheClockBoxAndKeepsWhatDidNotAnswer)
{
    const std::pair<int, uint8_t> registers[] = {
        {0, 0x09}, {1, 0x05}, {2, 0x14}, {3, 0x07}, {4, 0x06}, {5, 0x12}, {6, 0x26},   // clock
        {8, 0x05}, {98, 0x13}, {12, 0x12}, {17, 0xA2}, {21, 0x1a},
        {10, 0x0a}};   // tt: "a" is no number, so no answer
    for (int reg : downloadRegisters())
        board->setRegister(reg, 0);   // a blank register (ff) is no value of a digit field
    for (const auto &[reg, value] : registers)
        board->setRegister(reg, value);
    sim::Faults faults;
    faults.unansweredReads = {9};   // td
    board->setFaults(faults);
    params().edit(ParamId::Td)->setText("4");
    params().edit(ParamId::Tt)->setText("3");
    const int timeView = window->cycle().timeViewSeconds();

    QTest::mouseClick(window->button(MainButton::Download), Qt::LeftButton);
    EXPECT_FALSE(window->button(MainButton::AdjustAll)->isEnabled());
    EXPECT_FALSE(window->button(1016)->isEnabled());
    EXPECT_TRUE(window->button(MainButton::Save)->isEnabled()) << "files need no board";
    EXPECT_TRUE(window->button(MainButton::Load)->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->queue().busy(); }, testing::Timeout::LongOperation));

    EXPECT_EQ(clockBox().split(u'\n'), (QStringList{"14:05:09", "06.12.26.", "7"}));
    EXPECT_EQ(text(ParamId::Th), "5");
    EXPECT_EQ(text(ParamId::Pc), "-3");
    EXPECT_EQ(text(ParamId::Td), "4") << "its register did not answer";
    EXPECT_EQ(text(ParamId::Tt), "3") << "its register's answer is no value of the field";
    EXPECT_EQ(entry(ParamId::DaylightSaving), 1);
    EXPECT_EQ(entry(ParamId::HourMode), 2);
    EXPECT_EQ(entry(ParamId::DisplayMode), APointsEntry);
    EXPECT_EQ(entry(ParamId::SerialProtocol), 2);
    EXPECT_EQ(window->digits().digit(StoredDigit::Se1), "a");
    EXPECT_EQ(text(ParamId::ByteMapFirst), "1a");
    EXPECT_EQ(window->cycle().timeViewSeconds(), timeView) << "a download leaves the preview alone";
    EXPECT_EQ(line(0), "Parameters downloaded; 2 registers did not answer.");
}

TEST_F(ParameterButtons, DownloadFromASilentBoardChangesNothing)
{
    board->setFaults(sim::Faults{.silent = true});
    params().edit(ParamId::Th)->setText("7");
    clickAndWait(window->button(MainButton::Download));
    EXPECT_EQ(text(ParamId::Th), "7");
    EXPECT_TRUE(clockBox().isEmpty());
    EXPECT_EQ(line(0), "Communication Error!");
}

// ---------------------------------------------------------------------------------------------
// Compare with Board and Verify after upload

// The board holds what the window shows (a download filled it); then one register changes on the
// board. Compare marks that one field with the board's value and changes no value; a second
// click clears the marks, and so does an edit.
TEST_F(ParameterButtons, CompareWithBoardMarksTheFieldThatDiffersUntilClickedAgainOrEdited)
{
    for (const sim::RegisterValue &preset : sim::configuredParameters())
        board->setRegister(preset.reg, preset.value);
    const std::time_t now = std::time(nullptr);
    for (const sim::RegisterValue &preset : sim::clockRegisters(*std::localtime(&now)))
        board->setRegister(preset.reg, preset.value);
    clickAndWait(window->button(MainButton::Download));
    const auto *marks = params().findChild<ComparisonMarks *>();
    ASSERT_NE(marks, nullptr);
    const QWidget *th = params().spinEdit(ParamId::Th);
    const QString thText = text(ParamId::Th);
    const QString thTip = th->toolTip();
    const auto compare = [this] { clickAndWait(window->button(MainButton::CompareWithBoard)); };

    compare();
    EXPECT_EQ(line(0), "No value differs from the board.");
    EXPECT_TRUE(marks->empty());

    board->setRegister(8, 0x42);
    compare();
    EXPECT_EQ(line(0), "1 values differ from the board (marked).");
    EXPECT_EQ(marks->markOf(th), ComparisonMarks::Mark::Differing);
    EXPECT_TRUE(th->toolTip().endsWith("Board: 42")) << th->toolTip().toStdString();
    EXPECT_EQ(marks->markOf(params().spinEdit(ParamId::Td)), ComparisonMarks::Mark::None);
    EXPECT_EQ(text(ParamId::Th), thText) << "compare changes no value";

    const std::size_t frames = board->frameTexts().size();
    QTest::mouseClick(window->button(MainButton::CompareWithBoard), Qt::LeftButton);
    EXPECT_TRUE(marks->empty()) << "a second click clears";
    EXPECT_EQ(th->toolTip(), thTip);
    EXPECT_FALSE(window->queue().busy());
    EXPECT_EQ(board->frameTexts().size(), frames) << "clearing sends nothing";

    compare();
    ASSERT_FALSE(marks->empty());
    params().edit(ParamId::Tt)->setText("9");
    EXPECT_TRUE(marks->empty()) << "an edit clears";
}

// An upload of the view times with Verify after upload ticked reads back the registers written,
// the empty ones left out; a cell that stores another value is named in the ending.
TEST_F(ParameterButtons, VerifyAfterUploadReadsBackWhatAdjustWrote)
{
    struct Case {
        const char *name;
        bool verify;
        std::vector<std::pair<int, uint8_t>> storedAs;
        const char *ending;
    };
    const Case cases[] = {
        {"not ticked", false, {}, "View times uploaded."},
        {"good board", true, {}, "Verified: the board holds the 3 registers sent."},
        {"faulty cell", true, {{9, 0x07}}, "Not verified: 1 of 3 registers differ."},
    };
    params().edit(ParamId::Th)->setText("5");
    params().edit(ParamId::Td)->setText("4");
    params().edit(ParamId::Tt)->setText("3");
    for (const Case &c : cases) {
        window->verifyBox()->setChecked(c.verify);
        board->setFaults({.storedAs = c.storedAs});
        board->clearFrames();
        clickAndWait(window->button(groupInfo(Group::ViewTimes).adjustButton));
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->queue().busy(); }, testing::Timeout::LongOperation));
        EXPECT_EQ(line(0), c.ending) << c.name;
        for (const char *read : {"R008\r", "R009\r", "R010\r"})
            EXPECT_EQ(sent(read), c.verify) << c.name << " " << read;
    }
    EXPECT_TRUE(data.readConfig().contains("Verify=1")) << "the box's setting is kept";
}

// ---------------------------------------------------------------------------------------------
// Save and Load

TEST_F(ParameterButtons, SaveAndLoadRoundTripThroughTheFileDialogs)
{
    QTemporaryDir dir;
    params().edit(ParamId::Th)->setText("5");
    params().edit(ParamId::Pc)->setText("-3");
    pickAPointsAndProtocol2();

    QStringList filters;
    QString suffix = QStringLiteral("unset");
    kt::whenModalOpens([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        typeAndAccept(dialog, dir.filePath("plant"));
    });
    QTest::mouseClick(window->button(MainButton::Save), Qt::LeftButton);
    // The dialog shows the filter's blanks simplified.
    EXPECT_EQ(filters, QStringList{"Configuration File (*.ini)"});
    EXPECT_TRUE(suffix.isEmpty());
    const QByteArray saved = contentsOf(dir.filePath("plant.ini"));
    EXPECT_TRUE(saved.contains("P6=05")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("PC=-30")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("A1=a2")) << saved.toStdString();

    chooseFile(MainButton::Save, dir.filePath("old.ini"));
    EXPECT_TRUE(QFile::exists(dir.filePath("old.ini")));
    EXPECT_FALSE(QFile::exists(dir.filePath("old.ini.ini"))) << "\".ini\" only when missing";

    params().resetToStart();
    ASSERT_NE(text(ParamId::Th), "5");
    chooseFile(MainButton::Load, dir.filePath("plant.ini"));
    EXPECT_EQ(text(ParamId::Th), "5");
    EXPECT_EQ(text(ParamId::Pc), "-3");
    EXPECT_EQ(entry(ParamId::DisplayMode), APointsEntry);
    EXPECT_EQ(entry(ParamId::SerialProtocol), 2);
    EXPECT_EQ(window->digits().digit(StoredDigit::Se1), "a");
    EXPECT_EQ(window->cycle().timeViewSeconds(), 5) << "P6 sets the preview's time view";
    EXPECT_TRUE(board->frameTexts().empty()) << "files need no board";
}

TEST_F(ParameterButtons, ATypedNameWhoseIniFileExistsAsksBeforeReplacingIt)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("plant.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Parameters]\r\nP6=09\r\n");
    file.close();
    params().edit(ParamId::Th)->setText("7");

    for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        QString question;
        kt::whenModalOpens([&](QWidget *modal) {
            kt::whenModalOpens([&](QWidget *box) {
                auto *message = qobject_cast<QMessageBox *>(box);
                ASSERT_NE(message, nullptr);
                question = message->text();
                message->button(answer)->click();
            });
            typeAndAccept(qobject_cast<QFileDialog *>(modal), dir.filePath("plant"));
        });
        QTest::mouseClick(window->button(MainButton::Save), Qt::LeftButton);
        EXPECT_TRUE(question.contains("plant.ini")) << question.toStdString();
        EXPECT_EQ(contentsOf(dir.filePath("plant.ini")).contains("P6=07"), answer == QMessageBox::Yes);
    }
}

TEST_F(ParameterButtons, CancellingEitherDialogChangesNothing)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("night.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Parameters]\r\nP6=09\r\n");
    file.close();
    params().edit(ParamId::Th)->setText("7");

    chooseFile(MainButton::Save, dir.filePath("plant"), false);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"night.ini"});
    chooseFile(MainButton::Load, dir.filePath("night.ini"), false);
    EXPECT_EQ(text(ParamId::Th), "7");
}

TEST_F(ParameterButtons, ASaveThatCannotWriteShowsTheFileErrorAndCreatesNothing)
{
    QTemporaryDir dir;
    QString boxText;
    QString reason;
    chooseFileExpectingBox(MainButton::Save, dir.filePath("missing/plant"), &boxText, &reason);
    EXPECT_EQ(boxText, "File Opening Error!");
    EXPECT_FALSE(reason.isEmpty()) << "says why";
    EXPECT_FALSE(QFile::exists(dir.filePath("missing/plant.ini")));
}

TEST_F(ParameterButtons, InAReadOnlyFolderSaveKeepsTheOldFileAndAnUnreadableFileDoesNotLoad)
{
    if (kt::isRoot())
        GTEST_SKIP() << "root writes into read-only folders; run as an ordinary user";
    QTemporaryDir dir;
    const QString old = dir.filePath("old.ini");
    QFile file(old);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Parameters]\nP6=09\n");
    file.close();
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);

    QString boxText;
    QString reason;
    chooseFileExpectingBox(MainButton::Save, old, &boxText, &reason);
    EXPECT_EQ(boxText, "File Opening Error!");
    EXPECT_EQ(contentsOf(old), "[Parameters]\nP6=09\n");

    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(old).constData(), 0), 0);
    params().edit(ParamId::Th)->setText("7");
    boxText.clear();
    chooseFileExpectingBox(MainButton::Load, old, &boxText, &reason);
    EXPECT_EQ(boxText, "File Opening Error!");
    EXPECT_EQ(text(ParamId::Th), "7");
}

} // namespace
} // namespace kestrix
