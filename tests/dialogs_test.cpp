// The small dialogs and widgets: localisation by number, the port dialog, the About box and
// the seven-segment display.

#include "app/about_dlg.h"
#include "app/config_file.h"
#include "app/language.h"
#include "app/localize.h"
#include "comm/sel_port_dlg.h"
#include "test_support.h"
#include "time/digital_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ScratchDataDir;

template <class Widget>
Widget *childByNumber(QWidget *window, int number)
{
    for (Widget *child : window->findChildren<Widget *>()) {
        if (controlNumber(child) == number)
            return child;
    }
    return nullptr;
}

// Loads a language named "test" from a folder of its own holding the given entries.
class OwnTables {
public:
    OwnTables(const QString &identifiers, const QString &strings)
    {
        write("identifiers.ini", "[Identifiers]\n" + identifiers);
        write("lng_test.ini", "[Strings]\n" + strings);
        LoadLanguage("test", m_dir.path());
    }

private:
    void write(const QString &name, const QString &text)
    {
        QFile file(m_dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    QTemporaryDir m_dir;
};

QString settingsValue(const char *key)
{
    return configFile().value("Settings", key).value_or(QString());
}

// ---------------------------------------------------------------------------------------------
// Localisation by number

TEST(LocalizeDialog, ReplacesTitleAndTextsOfNumberedControlsAtAnyDepth)
{
    ScratchDataDir data;
    OwnTables tables("DLG=9100\nGROUP=9101\nLABEL=9102\nBUTTON=9103\nEDIT=9104\nCHECK=9105\n",
                     "DLG=Titel\nGROUP=Gruppe\nLABEL=Beschriftung\nBUTTON=Knopf\nEDIT=Feld\nCHECK=Wahl\n");
    QDialog dialog;
    dialog.setWindowTitle("title");
    auto *group = new QGroupBox("group", &dialog);
    auto *inner = new QWidget(group);
    auto *label = new QLabel("label", inner);
    auto *button = new QPushButton("button", inner);
    auto *edit = new QLineEdit("edit", inner);
    auto *check = new QCheckBox("check", group);
    setControlNumber(group, 9101);
    setControlNumber(label, 9102);
    setControlNumber(button, 9103);
    setControlNumber(edit, 9104);
    setControlNumber(check, 9105);

    LocalizeDialog(&dialog, 9100);

    EXPECT_EQ(dialog.windowTitle(), "Titel");
    EXPECT_EQ(group->title(), "Gruppe");
    EXPECT_EQ(label->text(), "Beschriftung");
    EXPECT_EQ(button->text(), "Knopf");
    EXPECT_EQ(edit->text(), "Feld");
    EXPECT_EQ(check->text(), "Wahl");
}

TEST(LocalizeDialog, KeepsBuiltInTextsWhereTheTablesGiveNone)
{
    ScratchDataDir data;
    // 0 has an entry, but number 0 means "no number"; 9201 has a text beginning with "?";
    // 9202 has a name without a text; 9203 has no entry at all.
    OwnTables tables("ZERO=0\nQUERY=9201\nEMPTY=9202\n", "ZERO=Null\nQUERY=?Frage\nEMPTY=\n");
    QDialog dialog;
    dialog.setWindowTitle("title");
    auto *unnumbered = new QLabel("unnumbered", &dialog);
    auto *query = new QLabel("query", &dialog);
    auto *empty = new QPushButton("empty", &dialog);
    auto *missing = new QLabel("missing", &dialog);
    setControlNumber(query, 9201);
    setControlNumber(empty, 9202);
    setControlNumber(missing, 9203);

    LocalizeDialog(&dialog, 0);
    EXPECT_EQ(dialog.windowTitle(), "title");
    LocalizeDialog(&dialog, 9201);
    EXPECT_EQ(dialog.windowTitle(), "title");

    EXPECT_EQ(controlNumber(unnumbered), 0);
    EXPECT_EQ(unnumbered->text(), "unnumbered");
    EXPECT_EQ(query->text(), "query");
    EXPECT_EQ(empty->text(), "empty");
    EXPECT_EQ(missing->text(), "missing");
}

TEST(LocalizeDialog, ShippedTablesGiveThePortDialogItsTexts)
{
    ScratchDataDir data;
    {
        CSelPort english;
        EXPECT_EQ(english.windowTitle(), "Communication Settings");
        EXPECT_EQ(childByNumber<QLabel>(&english, 1192)->text(), "Select Communication Port:");
        EXPECT_EQ(childByNumber<QLabel>(&english, 1193)->text(), "Select Communication Speed");
        EXPECT_EQ(childByNumber<QPushButton>(&english, 1)->text(), "OK");
    }
    LoadLanguage("german");
    ASSERT_TRUE(hasText(131)) << "the German tables give dialog 131 no title";
    CSelPort german;
    EXPECT_EQ(german.windowTitle(), LookupText(131));
    EXPECT_NE(german.windowTitle(), "Communication Settings");
    EXPECT_EQ(childByNumber<QLabel>(&german, 1192)->text(), LookupText(1192));
}

// ---------------------------------------------------------------------------------------------
// Port dialog

TEST(SelPort, WithoutSettingsPreselectsComOneAt2400)
{
    ScratchDataDir data;
    data.writeConfig("[System]\nLanguage=english\n");
    CSelPort dialog;

    ASSERT_EQ(dialog.portList()->count(), 20);
    EXPECT_EQ(dialog.portList()->itemText(0), "COM 1");
    EXPECT_EQ(dialog.portList()->itemText(19), "COM 20");
    EXPECT_EQ(dialog.portList()->currentText(), "COM 1");
    ASSERT_EQ(dialog.speedList()->count(), 4);
    EXPECT_EQ(dialog.speedList()->itemText(0), "2400");
    EXPECT_EQ(dialog.speedList()->itemText(1), "4800");
    EXPECT_EQ(dialog.speedList()->itemText(2), "9600");
    EXPECT_EQ(dialog.speedList()->itemText(3), "19200");
    EXPECT_EQ(dialog.speedList()->currentText(), "2400");
}

TEST(SelPort, PreselectsTheConfiguredPositionsWhenInRange)
{
    ScratchDataDir data;
    data.writeConfig("[Settings]\nPort=2\nBaud=2\n");
    {
        CSelPort dialog;
        EXPECT_EQ(dialog.portList()->currentText(), "COM 3");
        EXPECT_EQ(dialog.speedList()->currentText(), "9600");
    }
    data.writeConfig("[Settings]\nPort=19\nBaud=3\n");
    {
        CSelPort dialog;
        EXPECT_EQ(dialog.portList()->currentText(), "COM 20");
        EXPECT_EQ(dialog.speedList()->currentText(), "19200");
    }
    data.writeConfig("[Settings]\nPort=20\nBaud=7\n");
    {
        CSelPort dialog;
        EXPECT_EQ(dialog.portList()->currentText(), "COM 1");
        EXPECT_EQ(dialog.speedList()->currentText(), "2400");
    }
}

TEST(SelPort, OkHandsBackAndStoresTheChoice)
{
    ScratchDataDir data;
    data.writeConfig("[System]\nLanguage=english\n");
    CSelPort dialog;
    dialog.show();
    dialog.portList()->setCurrentIndex(11);
    dialog.speedList()->setCurrentIndex(dialog.speedList()->findText("19200"));

    QTest::mouseClick(childByNumber<QPushButton>(&dialog, 1), Qt::LeftButton);

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.chosenPort(), 12);
    EXPECT_EQ(dialog.chosenSpeed(), 19200);
    EXPECT_EQ(settingsValue("Port"), "11");
    EXPECT_EQ(settingsValue("Baud"), "3");
    EXPECT_EQ(configFile().value("System", "Language").value_or(QString()), "english");
}

TEST(SelPort, ClosingWithoutOkChangesNothing)
{
    ScratchDataDir data;
    data.writeConfig("[Settings]\nPort=2\nBaud=2\n");
    const QString config = data.readConfig();
    CSelPort dialog;
    dialog.show();
    dialog.portList()->setCurrentIndex(5);
    dialog.speedList()->setCurrentIndex(0);

    dialog.close();

    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.chosenPort(), 0);
    EXPECT_EQ(dialog.chosenSpeed(), 0);
    EXPECT_EQ(data.readConfig(), config);
}

TEST(SelPort, TypedSpeedOutsideTheListIsRefusedUntilCorrected)
{
    ScratchDataDir data;
    data.writeConfig("[Settings]\nPort=0\nBaud=0\n");
    const QString config = data.readConfig();
    CSelPort dialog;
    dialog.show();
    QLineEdit *speedEdit = dialog.speedList()->lineEdit();
    ASSERT_NE(speedEdit, nullptr);
    auto *hint = dialog.findChild<QLabel *>("speedHint");
    ASSERT_NE(hint, nullptr);

    speedEdit->clear();
    QTest::keyClicks(speedEdit, "38400");
    QTest::keyClick(speedEdit, Qt::Key_Return);

    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.speedList()->count(), 4) << "typed text must not become an entry";
    EXPECT_TRUE(hint->isVisibleTo(&dialog));
    EXPECT_EQ(data.readConfig(), config);

    // Typing again clears the mark; a listed speed, typed with blanks around it, is taken.
    speedEdit->clear();
    EXPECT_FALSE(hint->isVisibleTo(&dialog));
    dialog.speedList()->setEditText(" 4800 ");
    QTest::mouseClick(childByNumber<QPushButton>(&dialog, 1), Qt::LeftButton);

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosenPort(), 1);
    EXPECT_EQ(dialog.chosenSpeed(), 4800);
    EXPECT_EQ(settingsValue("Port"), "0");
    EXPECT_EQ(settingsValue("Baud"), "1");
}

TEST(SelPort, TypedListedSpeedIsTaken)
{
    ScratchDataDir data;
    data.writeConfig("[Settings]\nPort=3\nBaud=0\n");
    CSelPort dialog;
    dialog.show();
    QLineEdit *speedEdit = dialog.speedList()->lineEdit();
    speedEdit->clear();
    QTest::keyClicks(speedEdit, "19200");
    QTest::keyClick(speedEdit, Qt::Key_Return);

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosenPort(), 4);
    EXPECT_EQ(dialog.chosenSpeed(), 19200);
    EXPECT_EQ(settingsValue("Baud"), "3");
}

// ---------------------------------------------------------------------------------------------
// About box

void writeLogo(const QString &path)
{
    QImage image(136, 86, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 255));
    ASSERT_TRUE(image.save(path, "BMP"));
}

TEST(AboutDlg, ShowsLogoNameAndBuildStamp)
{
    ScratchDataDir data;
    writeLogo(data.file("logo.bmp"));
    CAboutDlg dialog;

    EXPECT_EQ(dialog.windowTitle(), "About Orbisk");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1210)->text(), "Orbisk v2.2");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1216)->text(), compiledText());
    ASSERT_NE(childByNumber<QPushButton>(&dialog, 1), nullptr);
    const QPixmap logo = childByNumber<QLabel>(&dialog, 1214)->pixmap();
    EXPECT_EQ(logo.size(), QSize(68, 43));
    EXPECT_EQ(logo.toImage().pixelColor(34, 21), QColor(0, 0, 255));
}

TEST(AboutDlg, WithoutLogoThePictureStaysEmpty)
{
    ScratchDataDir data;
    QFile::remove(data.file("logo.bmp"));
    CAboutDlg dialog;
    EXPECT_TRUE(childByNumber<QLabel>(&dialog, 1214)->pixmap().isNull());
}

TEST(AboutDlg, TablesReplaceTitleAndNameButNeverTheBuildStamp)
{
    ScratchDataDir data;
    OwnTables tables("ABOUT=100\nNAME=1210\nSTAMP=1216\n", "ABOUT=Info\nNAME=Orbisk X\nSTAMP=Gebaut\n");
    CAboutDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Info");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1210)->text(), "Orbisk X");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1216)->text(), compiledText());
}

TEST(AboutDlg, CompiledTextHasTheCompilersDateAndTimeForm)
{
    static const QRegularExpression form(
        "^Compiled: (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 1-3][0-9] [0-9]{4}, "
        "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]$");
    EXPECT_TRUE(form.match(compiledText()).hasMatch()) << compiledText().toStdString();
}

// ---------------------------------------------------------------------------------------------
// Seven-segment display

const QColor Red(255, 0, 0);
const QColor Black(0, 0, 0);

TEST(DigitalEdit, IsRedOnBlackInEveryPaletteGroup)
{
    CDigitalEdit edit;
    EXPECT_TRUE(edit.isReadOnly());
    EXPECT_EQ(edit.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        SCOPED_TRACE(int(group));
        EXPECT_EQ(edit.palette().color(group, QPalette::Text), Red);
        EXPECT_EQ(edit.palette().color(group, QPalette::Base), Black);
        EXPECT_EQ(edit.palette().color(group, QPalette::Window), Black);
    }
}

// Counts pure red pixels and checks the inside next to the frame is black.
void expectDrawnRedOnBlack(QWidget &widget)
{
    const QImage image = widget.grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(6, image.height() / 2), Black);
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            red += image.pixelColor(x, y) == Red;
    }
    EXPECT_GT(red, 20);
}

TEST(DigitalEdit, DrawsRedOnBlackInAnyWindowStateAndWhenDisabled)
{
    QWidget window;
    auto *edit = new CDigitalEdit(&window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(edit);
    edit->setText("88:88:88");
    window.resize(500, 120);
    window.show();
    {
        // Offscreen windows are usually not active, which is the inactive-window case.
        SCOPED_TRACE(window.isActiveWindow() ? "enabled, active window" : "enabled, inactive window");
        expectDrawnRedOnBlack(*edit);
    }
    edit->setEnabled(false);
    {
        SCOPED_TRACE("disabled");
        expectDrawnRedOnBlack(*edit);
    }
}

TEST(DigitalEdit, ClockFontIsTheSevenSegmentFaceAt42Points)
{
    const QFont font = clockFont();
    EXPECT_EQ(font.pointSize(), 42);
    const QStringList families = QFontDatabase::families();
    if (families.contains("DS-Digital Italic", Qt::CaseInsensitive)) {
        EXPECT_EQ(font.family(), "DS-Digital Italic");
    } else if (families.contains("DSEG7 Classic", Qt::CaseInsensitive)) {
        EXPECT_EQ(QFontInfo(font).family(), "DSEG7 Classic");
        EXPECT_TRUE(QFontInfo(font).italic());
    } else {
        EXPECT_EQ(font.family(), "DS-Digital Italic");
    }
    EXPECT_EQ(CDigitalEdit().font(), font);
}

} // namespace
} // namespace kestrix
