// The alarm dialog: what it shows when it opens, editing the alarm times, Save, the board
// operations behind its buttons against the simulated board (Compare with Board and Verify after
// upload among them), and closing while an upload runs.
#include "support/dialog_support.h"

#include "alarms/ui/alarm_dialog.h"
#include "app/main_window.h"
#include "base/language.h"
#include "widgets/comparison_marks.h"
#include "widgets/spin_edit.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

namespace kt = kestrix::testing;
using kt::childByNumber;

constexpr char AlarmsFile[] = "p1;06;30;1\r\r\np1;07;00;0\r\r\np2;12;15;1\r\r\n";

// C1=07 and C2=05 in config.ini, three alarm times in alarms.txt; the session's board is the
// simulated one on COM3 at 9600 bps.
class AlarmDialogTest : public kt::DialogWithBoard<AlarmDialog> {
protected:
    AlarmDialogTest() : DialogWithBoard("[Parameters]\nC1=07\nC2=05\n") {}

    void SetUp() override
    {
        DialogWithBoard::SetUp();
        writeAlarms(AlarmsFile);
    }

    void writeAlarms(const QByteArray &bytes) const { kt::writeBytes(data.file("alarms.txt"), bytes); }

    QByteArray readAlarms() const
    {
        QFile file(data.file("alarms.txt"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }

    static QString cell(AlarmDialog &dialog, int program, int row, int column)
    {
        return dialog.list(program)->topLevelItem(row)->text(column);
    }
};

TEST_F(AlarmDialogTest, OpensWithTheParametersAndAlarmTimesOfItsFiles)
{
    AlarmDialog dialog;
    EXPECT_EQ(dialogNumber(&dialog), 172);
    EXPECT_EQ(dialog.windowTitle(), "Alarm Configuration Dialog");
    EXPECT_EQ(&dialog.panel()->queue(), &BoardQueues::instance().session());
    EXPECT_EQ(dialog.parameterEdit(0)->text(), "7");   // C1=07
    EXPECT_EQ(dialog.parameterEdit(1)->text(), "5");   // C2=05, the edit numbered 1095
    EXPECT_EQ(dialog.parameterEdit(2)->text(), "");
    EXPECT_EQ(controlNumber(dialog.parameterEdit(0)->edit()), 1093);
    EXPECT_EQ(controlNumber(dialog.parameterEdit(5)->upDown()), 1104);

    QTreeWidget *list = childByNumber<QTreeWidget>(&dialog, AlarmDialog::Program1List);
    ASSERT_EQ(list, dialog.list(0));
    EXPECT_EQ(list->topLevelItemCount(), 50);
    EXPECT_EQ(list->columnCount(), 4);
    EXPECT_EQ(list->headerItem()->text(0), "");
    EXPECT_EQ(list->headerItem()->text(1), "Hour");
    EXPECT_EQ(list->headerItem()->text(2), "Min");
    EXPECT_EQ(list->headerItem()->text(3), "Type");
    // At least 60 and 40 pixels, and wide enough for "Alarm 50" and the heads.
    EXPECT_GE(list->columnWidth(0), 60);
    EXPECT_GE(list->columnWidth(3), 40);
    for (int column = 0; column < 4; ++column) {
        const QString widest = column == 0 ? QString("Alarm 50") : list->headerItem()->text(column);
        EXPECT_GT(list->columnWidth(column), list->fontMetrics().horizontalAdvance(widest)) << column;
    }
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(cell(dialog, 0, 49, 0), "Alarm 50");
    EXPECT_EQ(cell(dialog, 0, 0, 1), "06");
    EXPECT_EQ(cell(dialog, 0, 0, 2), "30");
    EXPECT_EQ(cell(dialog, 0, 0, 3), "1");
    EXPECT_EQ(cell(dialog, 0, 1, 1), "07");
    EXPECT_EQ(cell(dialog, 0, 2, 1), "");
    EXPECT_EQ(cell(dialog, 1, 0, 1), "12");
    EXPECT_EQ(dialog.timeEdit(0, AlarmDialog::Hour)->text(), "06");   // slot 1 is the one edited

    EXPECT_EQ(button(dialog, AlarmDialog::DownloadButton)->text(), "Download Alarm Times");
    EXPECT_EQ(button(dialog, AlarmDialog::SaveButton)->text(), "Save Alarm Times To File");
    EXPECT_EQ(button(dialog, AlarmDialog::ClearButton)->text(), "Clear Alarm Times");
    EXPECT_EQ(button(dialog, AlarmDialog::UpdateButton)->text(), "Update Alarms");
    EXPECT_EQ(button(dialog, AlarmDialog::CloseButton)->text(), "Close");
    EXPECT_EQ(dialog.statusLine()->text(), "Status:");
    EXPECT_FALSE(dialog.panel()->progressBar()->isVisibleTo(&dialog));
    for (QPushButton *each : dialog.findChildren<QPushButton *>())
        EXPECT_FALSE(each->isDefault() || each->autoDefault()) << "Return starts nothing";
}

TEST_F(AlarmDialogTest, TheMainWindowsAlarmConfigurationButtonOpensIt)
{
    MainWindow window;
    window.clockTimer().stop();
    QString opened;
    kt::whenModalOpens([&opened](QWidget *modal) {
        if (auto *dialog = qobject_cast<AlarmDialog *>(modal))
            opened = dialog->list(0)->topLevelItem(0)->text(1);
    });
    QTest::mouseClick(window.button(1092), Qt::LeftButton);
    EXPECT_EQ(opened, "06");
    EXPECT_TRUE(window.messageLine(0)->text().isEmpty());
}

TEST_F(AlarmDialogTest, SpeaksGerman)
{
    LoadLanguage("german", data.path());
    AlarmDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Alarmkonfiguration");
    EXPECT_EQ(button(dialog, AlarmDialog::DownloadButton)->text(), "Alarmzeiten herunterladen");
    EXPECT_EQ(button(dialog, AlarmDialog::ClearButton)->text(), "Alarmzeiten löschen");
    EXPECT_EQ(button(dialog, AlarmDialog::CompareButton)->text(), "Mit Uhr vergleichen");
    EXPECT_EQ(dialog.verifyBox()->text(), "Nach dem Übertragen prüfen");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1453)->text(), "Anzahl der Impulse");
    EXPECT_EQ(childByNumber<QGroupBox>(&dialog, 1456)->title(), "Alarmzeiten - Alarmprogramm 1");
    EXPECT_EQ(dialog.list(1)->headerItem()->text(1), "Stunde");
    EXPECT_EQ(cell(dialog, 1, 0, 0), "Alarm 1");
    EXPECT_EQ(dialog.parameterEdit(1)->text(), "5");
    LoadLanguage("english", data.path());
}

// A new data folder has no alarms.txt: the dialog opens with empty programs and no error box,
// and Save creates the file and says where.
TEST_F(AlarmDialogTest, WithoutTheFileStartsEmptySaveCreatesItAndOverlongProgramsSaySo)
{
    QFile::remove(data.file("alarms.txt"));
    QStringList boxes;   // any box that opens is noted and closed
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&boxes] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->close();
        }
    });
    watch.start(kt::Interval::ModalPoll.ms);
    {
        AlarmDialog dialog;
        EXPECT_EQ(dialog.list(0)->topLevelItemCount(), 50);
        EXPECT_EQ(cell(dialog, 0, 0, 1), "");
        EXPECT_EQ(dialog.statusLine()->text(), "Status:");
        QTest::mouseClick(button(dialog, AlarmDialog::SaveButton), Qt::LeftButton);
        EXPECT_TRUE(QFileInfo::exists(data.file("alarms.txt")));
        EXPECT_EQ(dialog.statusLine()->text(),
                  "Status: Alarm times saved to " + QDir::toNativeSeparators(data.file("alarms.txt")) + ".");
    }
    EXPECT_EQ(boxes, QStringList());

    QByteArray lines;
    for (int line = 0; line < 52; ++line)
        lines += "p1;08;" + QByteArray::number(line % 60) + ";0\r\r\n";
    writeAlarms(lines);
    AlarmDialog dialog;
    EXPECT_EQ(dialog.statusLine()->text(),
              "Status: 2 lines of alarms.txt beyond the 50 alarms of a program were not loaded.");
    EXPECT_EQ(cell(dialog, 0, 49, 2), "49");
}

TEST_F(AlarmDialogTest, TypingWritesIntoTheSelectedSlot)
{
    writeAlarms("");
    AlarmDialog dialog;
    // No row selected: slot 1.
    QTest::keyClicks(dialog.timeEdit(0, AlarmDialog::Hour), "6");
    EXPECT_EQ(dialog.alarms().programs[0][0].hour, "6");
    EXPECT_EQ(cell(dialog, 0, 0, 1), "6");

    dialog.list(1)->setCurrentItem(dialog.list(1)->topLevelItem(2));
    QTest::keyClicks(dialog.timeEdit(1, AlarmDialog::Minute), "4x5");
    QTest::keyClicks(dialog.timeEdit(1, AlarmDialog::Type), "1");
    EXPECT_EQ(dialog.alarms().programs[1][2], (AlarmEntry{"", "4x5", "1"}));
    EXPECT_EQ(cell(dialog, 1, 2, 2), "4x5");

    // Selecting another row shows its slot; coming back shows the typed one.
    dialog.list(1)->setCurrentItem(dialog.list(1)->topLevelItem(0));
    EXPECT_EQ(dialog.timeEdit(1, AlarmDialog::Minute)->text(), "");
    dialog.list(1)->setCurrentItem(dialog.list(1)->topLevelItem(2));
    EXPECT_EQ(dialog.timeEdit(1, AlarmDialog::Minute)->text(), "4x5");

    // The parameter fields take two digits.
    QLineEdit *pulses = dialog.parameterEdit(3)->edit();
    pulses->clear();
    QTest::keyClicks(pulses, "a123");
    EXPECT_EQ(pulses->text(), "12");
    EXPECT_EQ(dialog.alarms().parameters[3], "12");
}

TEST_F(AlarmDialogTest, SaveWritesThePackedProgramsAndTheParameters)
{
    AlarmDialog dialog;
    dialog.list(0)->setCurrentItem(dialog.list(0)->topLevelItem(4));
    QTest::keyClicks(dialog.timeEdit(0, AlarmDialog::Hour), "9");
    dialog.list(0)->setCurrentItem(dialog.list(0)->topLevelItem(1));
    dialog.timeEdit(0, AlarmDialog::Hour)->selectAll();
    QTest::keyClick(dialog.timeEdit(0, AlarmDialog::Hour), Qt::Key_Delete);   // slot 2 is free now
    dialog.parameterEdit(2)->setText("3");

    QTest::mouseClick(button(dialog, AlarmDialog::SaveButton), Qt::LeftButton);
    EXPECT_EQ(readAlarms(), "p1;06;30;1\r\r\np1;9;;\r\r\np2;12;15;1\r\r\n");
    EXPECT_TRUE(data.readConfig().contains("C1=07"));
    EXPECT_TRUE(data.readConfig().contains("C3=03"));
    EXPECT_EQ(cell(dialog, 0, 1, 1), "9");   // packed as saved
    EXPECT_EQ(cell(dialog, 0, 4, 1), "");
    EXPECT_EQ(dialog.statusLine()->text(), "Status: Alarm times saved to " + data.file("alarms.txt") + ".");
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(AlarmDialogTest, SaveWithAReadOnlyFileShowsTheFileBoxAndWritesNeither)
{
    for (const char *name : {"alarms.txt", "config.ini"}) {
        SCOPED_TRACE(name);
        AlarmDialog dialog;
        dialog.parameterEdit(2)->setText("3");
        QFile(data.file(name)).setPermissions(QFile::ReadOwner);
        const QByteArray config = data.readConfig().toUtf8();
        QString text;
        kt::whenModalOpens([&](QWidget *modal) { text = qobject_cast<QMessageBox *>(modal)->text(); });
        QTest::mouseClick(button(dialog, AlarmDialog::SaveButton), Qt::LeftButton);
        EXPECT_TRUE(text.startsWith("File Opening Error!\n")) << text.toStdString();
        EXPECT_TRUE(text.contains("read-only")) << text.toStdString();
        EXPECT_EQ(readAlarms(), AlarmsFile);
        EXPECT_EQ(data.readConfig().toUtf8(), config);
        QFile(data.file(name)).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
}

TEST_F(AlarmDialogTest, UpdateAlarmsUploadsEvenWhenTheFileCannotBeWritten)
{
    AlarmDialog dialog;
    QFile::remove(data.file("alarms.txt"));
    ASSERT_TRUE(QDir(data.path()).mkdir("alarms.txt"));
    QString text;
    kt::whenModalOpens([&](QWidget *modal) { text = qobject_cast<QMessageBox *>(modal)->text(); });
    clickAndWait(dialog, AlarmDialog::UpdateButton);
    EXPECT_TRUE(text.startsWith("File Opening Error!\n")) << text.toStdString();
    EXPECT_FALSE(data.readConfig().contains("C3=")) << "neither file is written";

    const std::vector<std::string> expected{kt::Sm7,     kt::TestFrame, kt::Sm7,     "W10107\r",
                                            "W102\r",    "W10305\r",    "W104\r",    "W105\r",
                                            "W106\r",    "W11006\r",    "W11130\r",  "W11210\r",
                                            "W11307\r",  "W11400\r",    "W11500\r",  "W26012\r",
                                            "W26115\r",  "W26210\r"};
    EXPECT_EQ(kt::received(*board, expected.size()), expected);
    EXPECT_EQ(dialog.statusLine()->text(), "Status: Times Uploaded.");
    EXPECT_TRUE(button(dialog, AlarmDialog::UpdateButton)->isEnabled());
}

TEST_F(AlarmDialogTest, DownloadFillsTheListsUpToTheEndMarker)
{
    board->setRegister(101, 0x12);
    board->setRegister(103, 0xff);
    board->setRegister(110, 0x08);
    board->setRegister(111, 0x45);
    board->setRegister(112, 0x10);
    board->setRegister(113, 0x29);   // ends program 1 after its first slot
    board->setRegister(260, 0x25);   // an hour-only entry
    board->setRegister(263, 0x29);
    AlarmDialog dialog;
    clickAndWait(dialog, AlarmDialog::DownloadButton);

    EXPECT_EQ(dialog.statusLine()->text(), "Status: Times Downloaded.");
    EXPECT_EQ(dialog.parameterEdit(0)->text(), "12");
    EXPECT_EQ(dialog.parameterEdit(1)->text(), "");
    EXPECT_EQ(cell(dialog, 0, 0, 1), "08");
    EXPECT_EQ(cell(dialog, 0, 0, 2), "45");
    EXPECT_EQ(cell(dialog, 0, 0, 3), "1");
    EXPECT_EQ(cell(dialog, 0, 1, 1), "29");
    EXPECT_EQ(cell(dialog, 0, 1, 2), "");
    EXPECT_EQ(cell(dialog, 1, 0, 1), "25");
    EXPECT_EQ(cell(dialog, 1, 0, 2), "");
    EXPECT_EQ(cell(dialog, 1, 1, 1), "29");
    EXPECT_TRUE(receivedFrame("R113\r"));
    EXPECT_FALSE(receivedFrame("R114\r"));
    EXPECT_FALSE(receivedFrame("R116\r"));
    EXPECT_FALSE(receivedFrame("R261\r"));
    EXPECT_FALSE(receivedFrame("R266\r"));
}

TEST_F(AlarmDialogTest, ClearEmptiesTheFieldsAndKeepsTheRows)
{
    AlarmDialog dialog;
    clickAndWait(dialog, AlarmDialog::ClearButton);
    const std::vector<std::string> expected{kt::Sm7,     kt::TestFrame, kt::Sm7,     "W101FF\r", "W102FF\r",
                                            "W103FF\r",  "W104FF\r",    "W105FF\r",  "W106FF\r", "W11029\r",
                                            "W26029\r"};
    EXPECT_EQ(kt::received(*board, expected.size()), expected);
    EXPECT_EQ(dialog.statusLine()->text(), "Status: Alarm Times Cleared.");
    for (int index = 0; index < AlarmParameterCount; ++index)
        EXPECT_EQ(dialog.parameterEdit(index)->text(), "");
    for (int program = 0; program < AlarmProgramCount; ++program) {
        EXPECT_EQ(dialog.list(program)->topLevelItemCount(), 50);
        EXPECT_EQ(cell(dialog, program, 0, 0), "Alarm 1");
        EXPECT_EQ(cell(dialog, program, 0, 1), "");
        EXPECT_EQ(dialog.timeEdit(program, AlarmDialog::Hour)->text(), "");
    }
}

// The board holds what the files hold (the end markers after them), or one register differs.
// Compare marks what shows that value, with the board's value, and changes no value: a slot's
// list, and its program's time edits while they show that slot. A second click clears the
// marks, and so does an edit.
TEST_F(AlarmDialogTest, CompareWithBoardMarksTheFieldsThatDifferUntilClickedAgainOrEdited)
{
    const std::pair<int, uint8_t> files[] = {{101, 0x07}, {103, 0x05}, {110, 0x06}, {111, 0x30}, {112, 0x10},
                                             {113, 0x07}, {114, 0x00}, {115, 0x00}, {116, 0x29}, {260, 0x12},
                                             {261, 0x15}, {262, 0x10}, {263, 0x29}};
    using Control = QWidget *(*)(AlarmDialog &);
    const Control c2 = [](AlarmDialog &d) -> QWidget * { return d.parameterEdit(1); };
    const Control list1 = [](AlarmDialog &d) -> QWidget * { return d.list(0); };
    const Control hour1 = [](AlarmDialog &d) -> QWidget * { return d.timeEdit(0, AlarmDialog::Hour); };
    const Control minute1 = [](AlarmDialog &d) -> QWidget * { return d.timeEdit(0, AlarmDialog::Minute); };
    const Control type1 = [](AlarmDialog &d) -> QWidget * { return d.timeEdit(0, AlarmDialog::Type); };
    struct Case {
        const char *name;
        std::pair<int, uint8_t> board;     // after the files' values
        const char *ending;
        std::vector<Control> marked;       // with slot 1 shown
        std::vector<Control> markedRow2;   // once slot 2 is shown
        const char *toolTip;
    };
    const char *oneDiffers = "Status: 1 values differ from the board (marked).";
    const Case cases[] = {
        {"equal", {101, 0x07}, "Status: No value differs from the board.", {}, {}, ""},
        {"C2", {103, 0x12}, oneDiffers, {c2}, {c2}, "Board: 12"},
        {"p1 slot 2", {114, 0x45}, oneDiffers, {list1}, {list1, hour1, minute1, type1}, "Board: 07;45;0"},
    };

    AlarmDialog dialog;
    QList<QWidget *> fields;
    for (int index = 0; index < AlarmParameterCount; ++index)
        fields << dialog.parameterEdit(index);
    for (int program = 0; program < AlarmProgramCount; ++program) {
        fields << dialog.list(program);
        for (int field = 0; field < AlarmDialog::TimeFieldCount; ++field)
            fields << dialog.timeEdit(program, AlarmDialog::TimeField(field));
    }
    QPushButton *compare = button(dialog, AlarmDialog::CompareButton);
    ASSERT_EQ(compare->text(), "Compare with Board");
    const ComparisonMarks &marks = dialog.marks();
    const Alarms shown = dialog.alarms();
    const auto expectMarks = [&](const std::vector<Control> &expected, const char *toolTip) {
        QList<QWidget *> marked;
        for (const Control control : expected)
            marked << control(dialog);
        for (QWidget *field : fields) {
            const bool differs = marked.contains(field);
            EXPECT_EQ(marks.markOf(field), differs ? ComparisonMarks::Mark::Differing : ComparisonMarks::Mark::None)
                << controlNumber(field);
            if (differs)
                EXPECT_TRUE(field->toolTip().contains(toolTip)) << field->toolTip().toStdString();
        }
    };

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto &[reg, value] : files)
            board->setRegister(reg, value);
        board->setRegister(c.board.first, c.board.second);
        if (!marks.empty())
            QTest::mouseClick(compare, Qt::LeftButton);   // clears the marks of the row before
        dialog.list(0)->setCurrentItem(dialog.list(0)->topLevelItem(0));
        clickAndWait(dialog, AlarmDialog::CompareButton);
        EXPECT_EQ(dialog.statusLine()->text(), c.ending);
        expectMarks(c.marked, c.toolTip);
        dialog.list(0)->setCurrentItem(dialog.list(0)->topLevelItem(1));
        expectMarks(c.markedRow2, c.toolTip);
        EXPECT_EQ(dialog.alarms().parameters, shown.parameters) << "compare changes no value";
        EXPECT_EQ(dialog.alarms().programs, shown.programs);
    }

    const size_t frames = board->frameTexts().size();
    QTest::mouseClick(compare, Qt::LeftButton);
    EXPECT_TRUE(marks.empty()) << "a second click clears";
    EXPECT_EQ(dialog.list(0)->toolTip(), "");
    EXPECT_EQ(board->frameTexts().size(), frames) << "clearing sends nothing";
    clickAndWait(dialog, AlarmDialog::CompareButton);
    ASSERT_FALSE(marks.empty());
    QTest::keyClicks(dialog.timeEdit(1, AlarmDialog::Type), "0");
    EXPECT_TRUE(marks.empty()) << "an edit clears";
    EXPECT_EQ(readAlarms(), AlarmsFile) << "compare writes no file";
}

// Update Alarms with Verify after upload ticked reads back exactly the registers it wrote; a cell
// that stores another value is named in the ending. Unticked, nothing is read back.
TEST_F(AlarmDialogTest, VerifyAfterUploadReadsBackWhatUpdateAlarmsWrote)
{
    struct Case {
        const char *name;
        bool verify;
        std::vector<std::pair<int, uint8_t>> storedAs;
        const char *ending;
    };
    const Case cases[] = {
        {"not ticked", false, {}, "Status: Times Uploaded."},
        {"faulty cell", true, {{111, 0x31}}, "Status: Not verified: 1 of 15 registers differ."},
    };
    AlarmDialog dialog;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        dialog.verifyBox()->setChecked(c.verify);
        board->setFaults({.storedAs = c.storedAs});
        board->clearFrames();
        clickAndWait(dialog, AlarmDialog::UpdateButton);
        waitUntilIdle(dialog);   // the read-back follows the upload as a job of its own
        EXPECT_EQ(dialog.statusLine()->text(), c.ending);
        const std::vector<std::string> frames = board->frameTexts();
        const auto reads = std::ranges::count_if(frames, [](const std::string &frame) { return frame[0] == 'R'; });
        EXPECT_EQ(reads, c.verify ? 15 : 0);
        EXPECT_EQ(receivedFrame("R111\r"), c.verify);
    }
    EXPECT_TRUE(data.readConfig().contains("Verify=1")) << "the box's setting is kept";
}

// Fifty alarm times in program 1: an upload of 156 frames.
QByteArray fullProgram()
{
    QByteArray lines;
    for (int slot = 0; slot < AlarmSlots; ++slot)
        lines += "p1;10;" + QByteArray::number(10 + slot % 50) + ";0\r\r\n";
    return lines;
}

TEST_F(AlarmDialogTest, CancelStopsARunningUpload)
{
    writeAlarms(fullProgram());
    holdJobsFromPause(2 * 8);
    AlarmDialog dialog;
    dialog.show();
    QTest::mouseClick(button(dialog, AlarmDialog::UpdateButton), Qt::LeftButton);
    EXPECT_FALSE(button(dialog, AlarmDialog::DownloadButton)->isEnabled());
    waitUntilHeld();
    waitForFrames(8);
    EXPECT_TRUE(dialog.panel()->progressBar()->isVisible());
    EXPECT_EQ(dialog.panel()->progressBar()->maximum(), 6 + 3 * 50);
    QTest::mouseClick(dialog.panel()->cancelButton(), Qt::LeftButton);
    hold->releaseAll();
    waitUntilIdle(dialog);
    EXPECT_EQ(dialog.statusLine()->text(), "Status: Operation cancelled.");
    EXPECT_FALSE(dialog.panel()->progressBar()->isVisible());
    EXPECT_TRUE(button(dialog, AlarmDialog::DownloadButton)->isEnabled());
    EXPECT_LT(board->frameTexts().size(), size_t(3 + 6 + 3 * 50));
}

// Close and the close box mid-upload ask: "No" keeps the dialog and the upload going, "Yes"
// closes it and stops the upload.
TEST_F(AlarmDialogTest, ClosingDuringAnUploadAsksFirst)
{
    writeAlarms(fullProgram());
    holdJobsFromPause(2 * 8);
    AlarmDialog dialog;
    dialog.show();
    QTest::mouseClick(button(dialog, AlarmDialog::UpdateButton), Qt::LeftButton);
    waitUntilHeld();
    waitForFrames(8);

    closeAnswering(QMessageBox::No, [&dialog] { dialog.close(); });
    EXPECT_TRUE(dialog.isVisible());
    const size_t kept = board->frameTexts().size();
    hold->letThrough(6);
    EXPECT_TRUE(board->waitForFrames(kept + 2, kt::Timeout::DialogOperation)) << "the upload goes on";
    waitUntilHeld();
    EXPECT_TRUE(dialog.panel()->running());

    closeAnswering(QMessageBox::Yes,
                   [&dialog] { QTest::mouseClick(button(dialog, AlarmDialog::CloseButton), Qt::LeftButton); });
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    hold->releaseAll();
    waitUntilIdle(dialog);
    EXPECT_LT(board->frameTexts().size(), size_t(3 + 6 + 3 * 50));
}

} // namespace
} // namespace kestrix
