// The day and night dialog: what it shows when it opens, picking and saving places in
// Daynight.txt, Upload and Download against the simulated board, Compare with Board and Verify
// after upload, keys that must not start an upload, and closing while an upload runs.
#include "support/dialog_support.h"

#include "app/main_window.h"
#include "base/language.h"
#include "daynight/daynight_transfer.h"
#include "daynight/ui/daynight_dialog.h"
#include "widgets/comparison_marks.h"
#include "widgets/spin_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

namespace kt = kestrix::testing;
using kt::childByNumber;

constexpr int Oslo = 1;   // list index of the shipped file's second place

// A data folder with the shipped Daynight.txt (Vienna, Oslo, brightness 20); the session's
// board is the simulated one on COM3 at 9600 bps.
class DayNightDialogTest : public kt::DialogWithBoard<DayNightDialog> {
protected:
    QString locationFile() const { return data.file("Daynight.txt"); }

    QByteArray readLocations() const
    {
        QFile file(locationFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }

    static QStringList places(DayNightDialog &dialog)
    {
        QStringList names;
        for (int index = 0; index < dialog.placeList()->count(); ++index)
            names << dialog.placeList()->itemText(index);
        return names;
    }

    // Starts an upload of Oslo and waits for its first frames.
    // Starts Oslo's upload and holds it once the board has 8 frames or more.
    void startUpload(DayNightDialog &dialog)
    {
        holdJobsFromPause(2 * 8);
        dialog.show();
        dialog.placeList()->setCurrentIndex(Oslo);
        QTest::mouseClick(button(dialog, DayNightDialog::UploadButton), Qt::LeftButton);
        waitUntilHeld();
        waitForFrames(8);
    }
};

TEST_F(DayNightDialogTest, OpensWithThePlacesInFileOrderAndNoneSelected)
{
    DayNightDialog dialog;
    EXPECT_EQ(dialogNumber(&dialog), 182);
    EXPECT_EQ(dialog.windowTitle(), "Day and Night Settings");
    EXPECT_EQ(&dialog.panel()->queue(), &BoardQueues::instance().session());
    EXPECT_EQ(places(dialog), (QStringList{"Vienna", "Oslo"}));
    EXPECT_EQ(dialog.placeList()->currentIndex(), -1);
    EXPECT_EQ(dialog.brightness()->text(), "20");
    EXPECT_EQ(dialog.nameEdit()->text(), "");
    EXPECT_EQ(dialog.timeEdit(DayTime::Rise, 0)->text(), "");
    EXPECT_EQ(controlNumber(dialog.brightness()->upDown()), 1327);
    EXPECT_EQ(controlNumber(dialog.timeEdit(DayTime::Set, 11)), 1289);
    EXPECT_EQ(controlNumber(dialog.timeEdit(DayTime::End, 0)), 1314);

    // 1334 is also the main window's reset note; the dialog shows its own caption.
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1334)->text(), "Choose Location:");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1125)->text(), "Time zone:");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1277)->text(), "Dec.");
    EXPECT_EQ(button(dialog, DayNightDialog::UploadButton)->text(), "Upload");
    EXPECT_FALSE(button(dialog, DayNightDialog::UploadButton)->isDefault());
    EXPECT_FALSE(button(dialog, DayNightDialog::UploadButton)->isEnabled()) << "no place yet";
    EXPECT_EQ(button(dialog, DayNightDialog::SaveButton)->text(), "Save Settings");
    EXPECT_EQ(dialog.statusLine()->text(), "Status:");
    EXPECT_FALSE(dialog.panel()->progressBar()->isVisibleTo(&dialog));

    // Typing: digits only and at most 4 in a time, 2 in the brightness, 9 in the name.
    QLineEdit *rise = dialog.timeEdit(DayTime::Rise, 3);
    QTest::keyClicks(rise, "07a3055");
    EXPECT_EQ(rise->text(), "0730");
    dialog.brightness()->edit()->clear();
    QTest::keyClicks(dialog.brightness()->edit(), "1x23");
    EXPECT_EQ(dialog.brightness()->text(), "12");
    QTest::keyClicks(dialog.nameEdit(), "Reykjavik-Nord");
    EXPECT_EQ(dialog.nameEdit()->text(), "Reykjavik");
}

TEST_F(DayNightDialogTest, SpeaksGerman)
{
    LoadLanguage("german", data.path());
    DayNightDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Tag- und Nachteinstellungen");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1334)->text(), "Ort wählen:");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1268)->text(), "März");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1337)->text(), "Sonnenaufgang");
    EXPECT_EQ(button(dialog, DayNightDialog::UploadButton)->text(), "Übertragen");
    EXPECT_EQ(button(dialog, DayNightDialog::DownloadButton)->text(), "Herunterladen");
    EXPECT_EQ(button(dialog, DayNightDialog::CompareButton)->text(), "Mit Uhr vergleichen");
    EXPECT_EQ(dialog.verifyBox()->text(), "Nach dem Übertragen prüfen");
    EXPECT_EQ(button(dialog, DayNightDialog::SaveButton)->text(), "Einstellungen speichern");
    EXPECT_EQ(dialog.brightness()->text(), "20");
    LoadLanguage("english", data.path());
}

TEST_F(DayNightDialogTest, TheMainWindowsDayNightButtonOpensIt)
{
    MainWindow window;
    window.clockTimer().stop();
    QStringList opened;
    kt::whenModalOpens([&opened](QWidget *modal) {
        if (auto *dialog = qobject_cast<DayNightDialog *>(modal))
            opened = places(*dialog);
    });
    QTest::mouseClick(window.button(1238), Qt::LeftButton);
    EXPECT_EQ(opened, (QStringList{"Vienna", "Oslo"}));
    EXPECT_TRUE(window.messageLine(0)->text().isEmpty());
}

TEST_F(DayNightDialogTest, PickingAPlaceFillsItsFieldsAndUploadSendsThemAsTheyStand)
{
    DayNightDialog dialog;
    dialog.placeList()->setCurrentIndex(Oslo);
    EXPECT_EQ(dialog.nameEdit()->text(), "Oslo");
    EXPECT_EQ(dialog.latitudeEdit()->text(), "59.91 N");
    EXPECT_EQ(dialog.longitudeEdit()->text(), "10.75 E");
    EXPECT_EQ(dialog.timeZoneEdit()->text(), "+1");
    EXPECT_EQ(dialog.timeEdit(DayTime::Rise, 0)->text(), "0918");
    EXPECT_EQ(dialog.timeEdit(DayTime::Set, 5)->text(), "2240");
    EXPECT_EQ(dialog.timeEdit(DayTime::End, 11)->text(), "1550");
    EXPECT_EQ(dialog.record(), loadLocation(2, locationFile()));

    // The up-down writes its number, up to 100.
    dialog.brightness()->setText("99");
    QTest::mouseClick(dialog.brightness()->upButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.brightness()->upButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.brightness()->text(), "100");
    dialog.timeEdit(DayTime::Set, 11)->setText("2359");   // typed, not saved

    clickAndWait(dialog, DayNightDialog::UploadButton);
    const std::vector<std::string> frames = kt::received(*board, 3 + 106);
    ASSERT_EQ(frames.size(), size_t(3 + 106));
    EXPECT_EQ(frames[3], "W89364\r");
    EXPECT_EQ(frames[4], "W8944F\r");   // 'O'
    EXPECT_EQ(frames[8], "W89800\r");   // past the name's end
    EXPECT_EQ(frames[13], "W90309\r");  // January Rise 0918
    EXPECT_EQ(frames[14], "W90412\r");
    EXPECT_EQ(frames[107], "W99717\r"); // December Set 2359
    EXPECT_EQ(frames[108], "W9983B\r");
    EXPECT_EQ(dialog.statusLine()->text(), "Status: Times Uploaded.");
    EXPECT_TRUE(button(dialog, DayNightDialog::DownloadButton)->isEnabled());
}

TEST_F(DayNightDialogTest, SaveAddsANewPlaceAndRefusesABadName)
{
    DayNightDialog dialog;
    dialog.placeList()->setCurrentIndex(Oslo);
    dialog.nameEdit()->setText("Bergen");
    dialog.timeEdit(DayTime::Begin, 2)->setText("0655");
    dialog.brightness()->setText("35");
    QTest::mouseClick(button(dialog, DayNightDialog::SaveButton), Qt::LeftButton);

    EXPECT_EQ(places(dialog), (QStringList{"Vienna", "Oslo", "Bergen"}));
    EXPECT_EQ(dialog.placeList()->currentIndex(), -1);
    EXPECT_EQ(dialog.nameEdit()->text(), "Bergen");   // the fields keep their text
    EXPECT_EQ(dialog.timeEdit(DayTime::Rise, 0)->text(), "0918");
    EXPECT_EQ(dialog.brightness()->text(), "35");
    const LocationRecord saved = loadLocation(3, locationFile());
    EXPECT_EQ(saved, dialog.record());
    EXPECT_EQ(saved[DayTime::Begin][2], "0655");
    EXPECT_EQ(loadLocation(2, locationFile())[DayTime::Begin][2], "0700");   // Oslo as it was
    EXPECT_EQ(loadLocationList(locationFile()).brightness, "35");

    const QByteArray before = readLocations();
    dialog.nameEdit()->setText("Wi]en");
    QTest::mouseClick(button(dialog, DayNightDialog::SaveButton), Qt::LeftButton);
    EXPECT_TRUE(dialog.statusLine()->text().startsWith("Status: "));
    EXPECT_TRUE(dialog.statusLine()->text().contains("Wi]en"));
    EXPECT_EQ(readLocations(), before);
    EXPECT_EQ(dialog.nameEdit()->text(), "Wi]en");
    EXPECT_EQ(places(dialog).size(), 3);
    EXPECT_TRUE(board->frameTexts().empty());
}

// Fields the board cannot take are refused in the status line and nothing is sent; a typed
// name the board cannot show is not saved either. Names of Windows-1252 characters go.
TEST_F(DayNightDialogTest, UploadAndSaveRefuseWhatTheBoardCannotTake)
{
    struct Row {
        std::function<void(DayNightDialog &)> edit;
        const char *status;
        bool sent = false;
    };
    const Row rows[] = {
        {[](DayNightDialog &d) { d.nameEdit()->setText("Kraków"); }, "Status: Times Uploaded.", true},
        {[](DayNightDialog &d) { d.nameEdit()->setText("東京"); }, "cannot show: 東 京"},
        {[](DayNightDialog &d) { d.brightness()->setText(""); }, "Status: Times Uploaded.", true},
        {[](DayNightDialog &d) { d.brightness()->setText("200"); }, "from 0 to 100, not \"200\""},
        {[](DayNightDialog &d) {
             d.timeEdit(DayTime::End, 4)->clear();
             QTest::keyClicks(d.timeEdit(DayTime::End, 4), "730");
         }, "May End must be empty or a time hhmm from 0000 to 2359, not \"730\""},
    };
    for (const Row &row : rows) {
        board->clearFrames();
        DayNightDialog dialog;
        dialog.placeList()->setCurrentIndex(Oslo);
        row.edit(dialog);
        clickAndWait(dialog, DayNightDialog::UploadButton);
        EXPECT_TRUE(dialog.statusLine()->text().contains(QString::fromUtf8(row.status)))
            << dialog.statusLine()->text().toStdString();
        EXPECT_EQ(!board->frameTexts().empty(), row.sent) << row.status;
    }

    const QByteArray before = readLocations();
    DayNightDialog dialog;
    dialog.nameEdit()->setText("東京");
    QTest::mouseClick(button(dialog, DayNightDialog::SaveButton), Qt::LeftButton);
    EXPECT_TRUE(dialog.statusLine()->text().contains("cannot show: 東 京")) << dialog.statusLine()->text().toStdString();
    EXPECT_EQ(readLocations(), before);
}

TEST_F(DayNightDialogTest, APlaceFileThatCannotBeReadIsSaidInTheStatusLine)
{
    QFile::remove(locationFile());
    ASSERT_TRUE(QDir(data.path()).mkdir("Daynight.txt"));
    DayNightDialog dialog;
    EXPECT_TRUE(places(dialog).isEmpty());
    const QString prefix = "Status: The places cannot be read: " + locationFile() + ": ";
    EXPECT_TRUE(dialog.statusLine()->text().startsWith(prefix)) << dialog.statusLine()->text().toStdString();
    EXPECT_GT(dialog.statusLine()->text().size(), prefix.size()) << "the reason follows";
}

TEST_F(DayNightDialogTest, AFileThatCannotBeWrittenShowsTheFileBoxAndKeepsTheFields)
{
    DayNightDialog dialog;
    dialog.placeList()->setCurrentIndex(Oslo);
    dialog.nameEdit()->setText("Tromso");
    QFile::remove(locationFile());
    ASSERT_TRUE(QDir(data.path()).mkdir("Daynight.txt"));
    QString text;
    kt::whenModalOpens([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        ASSERT_TRUE(box);
        text = box->text();
    });
    QTest::mouseClick(button(dialog, DayNightDialog::SaveButton), Qt::LeftButton);
    EXPECT_TRUE(text.startsWith("File Opening Error!\n")) << text.toStdString();
    EXPECT_GT(text.size(), qsizetype(sizeof("File Opening Error!\n"))) << "the reason follows";
    EXPECT_EQ(dialog.nameEdit()->text(), "Tromso");
    EXPECT_EQ(dialog.timeEdit(DayTime::Rise, 0)->text(), "0918");
    EXPECT_EQ(dialog.placeList()->currentIndex(), Oslo);
    EXPECT_TRUE(QFileInfo(locationFile()).isDir());
}

TEST_F(DayNightDialogTest, DownloadFillsNameBrightnessAndTimesAndSaveStoresThemUnderTheBoardsName)
{
    const char graz[] = "Graz";
    for (int position = 0; position < 9; ++position)
        board->setRegister(894 + position, position < 4 ? uint8_t(graz[position]) : 0);
    board->setRegister(893, 45);
    board->setRegister(903, 7);    // January Rise 0730
    board->setRegister(904, 30);
    board->setRegister(997, 16);   // December Set 1605
    board->setRegister(998, 5);

    DayNightDialog dialog;
    dialog.placeList()->setCurrentIndex(Oslo);
    clickAndWait(dialog, DayNightDialog::DownloadButton);
    EXPECT_EQ(dialog.statusLine()->text(), "Status: Times Downloaded.");
    EXPECT_EQ(dialog.brightness()->text(), "45");
    EXPECT_EQ(dialog.nameEdit()->text(), "Graz");
    EXPECT_EQ(dialog.timeEdit(DayTime::Rise, 0)->text(), "0730");
    EXPECT_EQ(dialog.timeEdit(DayTime::Set, 11)->text(), "1605");
    EXPECT_EQ(dialog.timeEdit(DayTime::Begin, 0)->text(), "");   // 255 and 255: unset
    EXPECT_EQ(dialog.latitudeEdit()->text(), "59.91 N");        // not on the board
    EXPECT_EQ(dialog.timeZoneEdit()->text(), "+1");
    EXPECT_EQ(dialog.placeList()->currentIndex(), Oslo);
    EXPECT_EQ(loadLocationList(locationFile()).names, (QStringList{"Vienna", "Oslo"}));

    QTest::mouseClick(button(dialog, DayNightDialog::SaveButton), Qt::LeftButton);
    EXPECT_EQ(places(dialog), (QStringList{"Vienna", "Oslo", "Graz"}));
    const LocationRecord saved = loadLocation(3, locationFile());
    EXPECT_EQ(saved.name, "Graz");
    EXPECT_EQ(saved.latitude, "59.91 N");
    EXPECT_EQ(saved[DayTime::Rise][0], "0730");
    EXPECT_EQ(loadLocation(2, locationFile())[DayTime::Rise][0], "0918");
    EXPECT_EQ(loadLocationList(locationFile()).brightness, "45");
}

TEST_F(DayNightDialogTest, AnIncompleteDownloadKeepsWhatDidNotAnswer)
{
    board->setFaults({.unansweredReads = {893}});
    board->setRegister(903, 6);
    board->setRegister(904, 15);
    DayNightDialog dialog;
    clickAndWait(dialog, DayNightDialog::DownloadButton);
    EXPECT_EQ(dialog.brightness()->text(), "20");
    EXPECT_EQ(dialog.statusLine()->text(), "Status: Download incomplete: 1 registers did not answer.");
    EXPECT_EQ(dialog.timeEdit(DayTime::Rise, 0)->text(), "0615");
}

// A session without a port: the dialog does not read config.ini's port, and nothing reaches
// the board.
TEST_F(DayNightDialogTest, ASessionWithoutAPortSaysCheckPortAndSpeed)
{
    BoardQueues::instance().setSession({});
    DayNightDialog dialog;
    dialog.placeList()->setCurrentIndex(Oslo);
    clickAndWait(dialog, DayNightDialog::UploadButton);
    EXPECT_EQ(dialog.statusLine()->text(), "Status: Check COM port and Speed.");
    clickAndWait(dialog, DayNightDialog::DownloadButton);
    EXPECT_EQ(dialog.statusLine()->text(), "Status: Check COM port and Speed.");
    EXPECT_EQ(dialog.brightness()->text(), "20");
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(DayNightDialogTest, ReturnOnOpenAndInATimeFieldSendsNothing)
{
    DayNightDialog dialog;
    ASSERT_TRUE(kt::showActive(&dialog));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(dialog.timeEdit(DayTime::Rise, 0), Qt::Key_Return);
    dialog.placeList()->setCurrentIndex(Oslo);
    QTest::keyClick(dialog.timeEdit(DayTime::Set, 4), Qt::Key_Return);
    QTest::keyClick(dialog.nameEdit(), Qt::Key_Enter);
    EXPECT_FALSE(dialog.panel()->busy());
    EXPECT_FALSE(board->waitForFrames(1, std::chrono::milliseconds(300)));
    EXPECT_TRUE(dialog.isVisible());
}

// The board holds Oslo as the fields show it, or one value differs. Compare marks that field with
// the board's value and changes no value; a second click clears the marks, and so does an edit.
TEST_F(DayNightDialogTest, CompareWithBoardMarksTheFieldThatDiffersUntilClickedAgainOrEdited)
{
    DayNightDialog dialog;
    dialog.placeList()->setCurrentIndex(Oslo);
    const LocationRecord oslo = dialog.record();
    const DayNightSchedule shown{dialog.brightness()->text(), oslo.name, oslo.times};
    const int januaryRise = scheduleTimeRegister(DayTime::Rise, 0);
    QLineEdit *januaryRiseEdit = dialog.timeEdit(DayTime::Rise, 0);
    QPushButton *compare = button(dialog, DayNightDialog::CompareButton);
    ASSERT_EQ(compare->text(), "Compare with Board");
    const ComparisonMarks &marks = dialog.marks();
    const auto clickAgain = [compare] { QTest::mouseClick(compare, Qt::LeftButton); };
    const auto edit = [&dialog] { QTest::keyClicks(dialog.nameEdit(), "x"); };
    struct Case {
        const char *name;
        int reg;
        uint8_t value;
        const char *ending;
        QWidget *marked;
        QString toolTip;
        std::function<void()> clear;
    };
    const char *oneDiffers = "Status: 1 values differ from the board (marked).";
    const Case cases[] = {
        {"equal", januaryRise, uint8_t(oslo.times[0][0].left(2).toInt()), "Status: No value differs from the board.",
         nullptr, {}, {}},
        {"January Rise, cleared by a second click", januaryRise, 0x05, oneDiffers, januaryRiseEdit,
         "Board: 05" + oslo.times[0][0].mid(2), clickAgain},
        {"Brightness, cleared by an edit", 893, 0x07, oneDiffers, dialog.brightness(), "Board: 07", edit},
    };
    QList<QWidget *> fields{dialog.nameEdit(), dialog.brightness()};
    for (int time = 0; time < DayTimeCount; ++time) {
        for (int month = 0; month < MonthCount; ++month)
            fields << dialog.timeEdit(DayTime(time), month);
    }

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (int reg = FirstScheduleRegister; reg <= LastScheduleRegister; ++reg)
            board->setRegister(reg, uint8_t(scheduleRegisterValue(shown, reg).toInt(nullptr, 16)));
        board->setRegister(c.reg, c.value);
        clickAndWait(dialog, DayNightDialog::CompareButton);
        EXPECT_EQ(dialog.statusLine()->text(), c.ending);
        for (QWidget *field : fields) {
            const bool differs = field == c.marked;
            EXPECT_EQ(marks.markOf(field), differs ? ComparisonMarks::Mark::Differing : ComparisonMarks::Mark::None)
                << controlNumber(field);
            if (differs)
                EXPECT_TRUE(field->toolTip().contains(c.toolTip)) << field->toolTip().toStdString();
        }
        EXPECT_EQ(dialog.record().times, oslo.times) << "compare changes no value";
        if (!c.clear)
            continue;
        const size_t frames = board->frameTexts().size();
        c.clear();
        EXPECT_TRUE(marks.empty());
        EXPECT_EQ(c.marked->toolTip(), "");
        EXPECT_EQ(board->frameTexts().size(), frames) << "clearing sends nothing";
    }
    EXPECT_FALSE(readLocations().contains("Oslox")) << "compare writes no file";
}

// Upload with Verify after upload ticked reads back the 106 registers it wrote; a cell that
// stores another value is named in the ending. Unticked, nothing is read back.
TEST_F(DayNightDialogTest, VerifyAfterUploadReadsBackWhatUploadWrote)
{
    const int januaryRise = scheduleTimeRegister(DayTime::Rise, 0);
    struct Case {
        const char *name;
        bool verify;
        std::vector<std::pair<int, uint8_t>> storedAs;
        const char *ending;
    };
    const Case cases[] = {
        {"not ticked", false, {}, "Status: Times Uploaded."},
        {"faulty cell", true, {{januaryRise, 0x05}}, "Status: Not verified: 1 of 106 registers differ."},
    };
    DayNightDialog dialog;
    dialog.placeList()->setCurrentIndex(Oslo);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        dialog.verifyBox()->setChecked(c.verify);
        board->setFaults({.storedAs = c.storedAs});
        board->clearFrames();
        clickAndWait(dialog, DayNightDialog::UploadButton);
        waitUntilIdle(dialog);   // the read-back follows the upload as a job of its own
        EXPECT_EQ(dialog.statusLine()->text(), c.ending);
        const std::vector<std::string> frames = board->frameTexts();
        const auto reads = std::ranges::count_if(frames, [](const std::string &frame) { return frame[0] == 'R'; });
        EXPECT_EQ(reads, c.verify ? 106 : 0);
    }
    EXPECT_TRUE(data.readConfig().contains("Verify=1")) << "the box's setting is kept";
}

TEST_F(DayNightDialogTest, CancelStopsARunningUpload)
{
    DayNightDialog dialog;
    startUpload(dialog);
    EXPECT_FALSE(button(dialog, DayNightDialog::UploadButton)->isEnabled());
    EXPECT_FALSE(button(dialog, DayNightDialog::DownloadButton)->isEnabled());
    EXPECT_FALSE(button(dialog, DayNightDialog::SaveButton)->isEnabled());
    EXPECT_TRUE(dialog.panel()->progressBar()->isVisible());
    QTest::mouseClick(dialog.panel()->cancelButton(), Qt::LeftButton);
    hold->releaseAll();
    waitUntilIdle(dialog);
    EXPECT_EQ(dialog.statusLine()->text(), "Status: Operation cancelled.");
    EXPECT_TRUE(button(dialog, DayNightDialog::UploadButton)->isEnabled());
    EXPECT_LT(board->frameTexts().size(), size_t(3 + 106));
}

// Escape mid-upload asks: "No" keeps the dialog and the upload, "Yes" closes and stops it.
TEST_F(DayNightDialogTest, EscapeDuringAnUploadAsksBeforeClosing)
{
    DayNightDialog dialog;
    startUpload(dialog);
    closeAnswering(QMessageBox::No, [&dialog] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    EXPECT_TRUE(dialog.isVisible());
    const size_t kept = board->frameTexts().size();
    hold->letThrough(6);
    EXPECT_TRUE(board->waitForFrames(kept + 2, kt::Timeout::DialogOperation)) << "the upload goes on";
    waitUntilHeld();
    EXPECT_TRUE(dialog.panel()->running());

    closeAnswering(QMessageBox::Yes, [&dialog] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    hold->releaseAll();
    waitUntilIdle(dialog);
    EXPECT_LT(board->frameTexts().size(), size_t(3 + 106));
}

} // namespace
} // namespace kestrix
