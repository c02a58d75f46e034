// The port dialog: what it preselects, what OK stores and hands back, typed speeds, and the
// device each port entry names.

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "comm/serial_settings.h"
#include "comm/ui/port_dialog.h"
#include "support/process_support.h"
#include "support/test_support.h"
#include "support/ui_support.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrix {
namespace {

using testing::ScratchDataDir;
using testing::asOrdinaryUser;
using testing::childByNumber;
using testing::OwnTables;
using testing::whenModalOpens;

QString settingsValue(const char *key)
{
    return configFile().value("Settings", key).value_or(QString());
}

// The port list's entry for a port as config.ini names its device.
QString portEntry(int port)
{
    return QStringLiteral("COM %1  %2").arg(port).arg(deviceForPort(port));
}

// Writes config.ini as given, without the test's usual [Ports] section.
void writeBareConfig(const ScratchDataDir &data, const QByteArray &text)
{
    QFile file(data.file("config.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// Gives the data folder and its files to nobody (when root), so that a child running as
// nobody owns them.
void giveToNobody(const QString &folder)
{
    if (::geteuid() != 0)
        return;
    ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
    for (const QString &entry : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        ASSERT_EQ(::chown(QFile::encodeName(QDir(folder).filePath(entry)).constData(), 65534, 65534), 0);
}


// ---------------------------------------------------------------------------------------------
// Port dialog

TEST(LocalizeDialog, ShippedTablesGiveThePortDialogItsTexts)
{
    ScratchDataDir data;
    {
        PortDialog english;
        EXPECT_EQ(english.windowTitle(), "Communication Settings");
        EXPECT_EQ(childByNumber<QLabel>(&english, 1192)->text(), "Select Communication Port:");
        EXPECT_EQ(childByNumber<QLabel>(&english, 1193)->text(), "Select Communication Speed");
        EXPECT_EQ(childByNumber<QPushButton>(&english, 1)->text(), "OK");
    }
    LoadLanguage("german");
    ASSERT_TRUE(hasText(131)) << "the German tables give dialog 131 no title";
    PortDialog german;
    EXPECT_EQ(german.windowTitle(), LookupNumber(131));
    EXPECT_NE(german.windowTitle(), "Communication Settings");
    EXPECT_EQ(childByNumber<QLabel>(&german, 1192)->text(), LookupNumber(1192));
}

TEST(SelPort, WithoutSettingsPreselectsComOneAt2400)
{
    ScratchDataDir data;
    data.writeConfig("[System]\nLanguage=english\n");
    PortDialog dialog;

    ASSERT_EQ(dialog.portList()->count(), 20);
    EXPECT_EQ(dialog.portList()->itemText(0), portEntry(1));
    EXPECT_EQ(dialog.portList()->itemText(19), portEntry(20));
    EXPECT_EQ(dialog.portList()->currentIndex(), 0);
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
        PortDialog dialog;
        EXPECT_EQ(dialog.portList()->currentIndex(), 2);
        EXPECT_EQ(dialog.speedList()->currentText(), "9600");
    }
    data.writeConfig("[Settings]\nPort=19\nBaud=3\n");
    {
        PortDialog dialog;
        EXPECT_EQ(dialog.portList()->currentIndex(), 19);
        EXPECT_EQ(dialog.speedList()->currentText(), "19200");
    }
    data.writeConfig("[Settings]\nPort=20\nBaud=7\n");
    {
        PortDialog dialog;
        EXPECT_EQ(dialog.portList()->currentIndex(), 0);
        EXPECT_EQ(dialog.speedList()->currentText(), "2400");
    }
}

TEST(SelPort, OkHandsBackAndStoresTheChoice)
{
    ScratchDataDir data;
    data.writeConfig("[System]\nLanguage=english\n");
    PortDialog dialog;
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
    PortDialog dialog;
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
    PortDialog dialog;
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
    PortDialog dialog;
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

TEST(SelPort, EachPortEntryNamesItsDevice)
{
    ScratchDataDir data;
    writeBareConfig(data, "[Settings]\nPort=2\n[Ports]\nCOM7=/dev/pts/42\n");
    PortDialog dialog;
    ASSERT_EQ(dialog.portList()->count(), 20);
#ifdef Q_OS_LINUX
    EXPECT_EQ(dialog.portList()->itemText(2), "COM 3  /dev/ttyS2");
    EXPECT_EQ(dialog.portList()->itemText(4), "COM 5  /dev/ttyUSB0");
    EXPECT_EQ(dialog.portList()->itemText(12), "COM 13  /dev/ttyACM0");
#endif
    EXPECT_EQ(dialog.portList()->itemText(6), "COM 7  /dev/pts/42") << "a mapped port shows its own device";
    EXPECT_EQ(dialog.portList()->currentIndex(), 2) << "positions stay those of the port numbers";
}

TEST(SelPort, AnEntryWhoseDeviceHasADescriptionShowsItAsTooltip)
{
    ScratchDataDir data;
    mapPortToDevice(4, "/dev/ttyUSB9");
    const PortDescriptions descriptions = [](const QString &device) {
        return device == "/dev/ttyUSB9" ? QStringLiteral("USB-Serial Controller D") : QString();
    };
    PortDialog dialog(descriptions);
    EXPECT_EQ(dialog.portList()->itemText(3), "COM 4  /dev/ttyUSB9");
    EXPECT_EQ(dialog.portList()->itemData(3, Qt::ToolTipRole).toString(), "USB-Serial Controller D");
    for (int index : {0, 2, 4, 19})
        EXPECT_FALSE(dialog.portList()->itemData(index, Qt::ToolTipRole).isValid()) << index;
}

TEST(SelPort, OkStoresThePositionWhateverTheEntriesShow)
{
    ScratchDataDir data;
    writeBareConfig(data, "[Settings]\nPort=0\nBaud=0\n[Ports]\nCOM12=/dev/pts/7\n");
    PortDialog dialog;
    dialog.show();
    dialog.portList()->setCurrentIndex(11);
    EXPECT_EQ(dialog.portList()->currentText(), "COM 12  /dev/pts/7");
    QTest::mouseClick(childByNumber<QPushButton>(&dialog, 1), Qt::LeftButton);
    EXPECT_EQ(dialog.chosenPort(), 12);
    EXPECT_EQ(settingsValue("Port"), "11");
    EXPECT_EQ(configFile().read("Ports", "COM12"), "/dev/pts/7") << "the device mapping is left as it was";
}

// A folder that is not writable (config.ini itself is): OK warns with the reason, and the
// choice still goes to the caller for this session.
TEST(SelPort, ChoiceThatCannotBeStoredIsReportedAndStillHandedBack)
{
    ScratchDataDir data;
    data.writeConfig("[Settings]\nPort=0\nBaud=0\n");
    const QString config = data.readConfig();
    giveToNobody(data.path());
    const QByteArray folder = QFile::encodeName(data.path());
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);

    const bool ran = asOrdinaryUser([] {
        PortDialog dialog;
        dialog.show();
        dialog.portList()->setCurrentIndex(4);
        dialog.speedList()->setCurrentIndex(dialog.speedList()->findText("19200"));
        QString shown;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        whenModalOpens([&](QWidget *modal) {
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                shown = box->text();
                icon = box->icon();
                box->accept();
            }
        });
        QTest::mouseClick(childByNumber<QPushButton>(&dialog, 1), Qt::LeftButton);

        EXPECT_EQ(icon, QMessageBox::Warning);
        EXPECT_TRUE(shown.startsWith(LookupText(Text::SettingsNotStored).section('\n', 0, 0))) << shown.toStdString();
        EXPECT_TRUE(shown.contains("cannot write " + configFilePath())) << shown.toStdString();
        EXPECT_TRUE(shown.contains("Permission denied")) << shown.toStdString();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.chosenPort(), 5);
        EXPECT_EQ(dialog.chosenSpeed(), 19200);
    });
    ::chmod(folder.constData(), 0755);

    EXPECT_TRUE(ran);
    EXPECT_EQ(data.readConfig(), config);
}

} // namespace
} // namespace kestrix
