// The port dialog: what it preselects, what OK stores and hands back, typed speeds, the device
// each port entry names, and the device field that names another one.

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "comm/device_address.h"
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
using testing::readBytes;
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

// Types `device` into the dialog's device field in place of what it shows.
void typeDevice(PortDialog &dialog, const QString &device)
{
    dialog.deviceEdit()->clear();
    QTest::keyClicks(dialog.deviceEdit(), device);
}

void clickOk(PortDialog &dialog)
{
    QTest::mouseClick(childByNumber<QPushButton>(&dialog, 1), Qt::LeftButton);
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
        EXPECT_EQ(english.findChild<QLabel *>("deviceCaption")->text(), "Device:");
        EXPECT_EQ(english.deviceEdit()->placeholderText(), "/dev/ttyUSB0, rfc2217://host:port or tcp://host:port");
        EXPECT_EQ(english.deviceEdit()->toolTip(), english.deviceEdit()->placeholderText());
    }
    LoadLanguage("german");
    ASSERT_TRUE(hasText(131)) << "the German tables give dialog 131 no title";
    PortDialog german;
    EXPECT_EQ(german.windowTitle(), LookupNumber(131));
    EXPECT_NE(german.windowTitle(), "Communication Settings");
    EXPECT_EQ(childByNumber<QLabel>(&german, 1192)->text(), LookupNumber(1192));
    EXPECT_EQ(german.findChild<QLabel *>("deviceCaption")->text(), "Gerät:");
    EXPECT_EQ(german.deviceEdit()->placeholderText(), "/dev/ttyUSB0, rfc2217://Host:Port oder tcp://Host:Port");
    german.deviceEdit()->setText("tcp://host:0");
    clickOk(german);
    EXPECT_EQ(german.findChild<QLabel *>("deviceHint")->text(),
              "Das Gerät ist nicht verwendbar: " + deviceProblem("tcp://host:0") + ".");
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

// The field shows the selected port's device; the entry follows an edit, and choosing another
// port drops the edit.
TEST(SelPort, DeviceFieldShowsTheSelectedPortsDevice)
{
    ScratchDataDir data;
    writeBareConfig(data, "[Settings]\nPort=6\n[Ports]\nCOM7=/dev/pts/42\n");
    PortDialog dialog;
    dialog.show();
    EXPECT_EQ(dialog.deviceEdit()->text(), "/dev/pts/42");
    dialog.portList()->setCurrentIndex(2);
    EXPECT_EQ(dialog.deviceEdit()->text(), defaultDeviceForPort(3));

    typeDevice(dialog, "tcp://[fe80::1]:4001");
    EXPECT_EQ(dialog.portList()->itemText(2), "COM 3  tcp://[fe80::1]:4001");
    EXPECT_EQ(dialog.portList()->currentText(), "COM 3  tcp://[fe80::1]:4001");

    dialog.portList()->setCurrentIndex(6);
    EXPECT_EQ(dialog.deviceEdit()->text(), "/dev/pts/42");
    EXPECT_EQ(dialog.portList()->itemText(2), portEntry(3)) << "the edit of the port left is dropped";
    EXPECT_EQ(dialog.portList()->itemText(6), "COM 7  /dev/pts/42");
}

// A device that cannot be used refuses OK, marks the field, says what is wrong and stores
// nothing; editing clears the mark.
TEST(SelPort, DeviceThatCannotBeUsedIsRefused)
{
    struct Refusal {
        const char *device;
        const char *problem;   // part of what the hint says
    };
    const Refusal refusals[] = {
        {"rfc2217://", "no host and port"},
        {"tcp://host", "no port after the host"},
        {"tcp://host:0", "the port \"0\" is not a number from 1 to 65535"},
        {"tcp://host:99999", "the port \"99999\" is not a number from 1 to 65535"},
        {"tcp://[::1", "closing ]"},
        {"tcp://ho st:1", "space"},
        {"udp://h:1", "unknown scheme"},
    };
    for (const Refusal &refusal : refusals) {
        SCOPED_TRACE(refusal.device);
        ScratchDataDir data;
        data.writeConfig("[Settings]\nPort=0\nBaud=0\n");
        const QByteArray config = readBytes(data.file("config.ini"));
        PortDialog dialog;
        dialog.show();
        dialog.portList()->setCurrentIndex(2);
        dialog.speedList()->setCurrentIndex(3);
        typeDevice(dialog, refusal.device);
        auto *hint = dialog.findChild<QLabel *>("deviceHint");
        ASSERT_NE(hint, nullptr);

        clickOk(dialog);

        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(dialog.chosenPort(), 0);
        EXPECT_TRUE(hint->isVisibleTo(&dialog));
        EXPECT_TRUE(hint->text().startsWith("The device cannot be used: ")) << hint->text().toStdString();
        EXPECT_TRUE(hint->text().contains(refusal.problem)) << hint->text().toStdString();
        EXPECT_TRUE(dialog.deviceEdit()->styleSheet().contains("background-color")) << "the field is marked";
        EXPECT_EQ(dialog.focusWidget(), dialog.deviceEdit());
        EXPECT_EQ(readBytes(data.file("config.ini")), config);

        QTest::keyClick(dialog.deviceEdit(), Qt::Key_Backspace);
        EXPECT_FALSE(hint->isVisibleTo(&dialog));
        EXPECT_TRUE(dialog.deviceEdit()->styleSheet().isEmpty());
    }
}

// OK writes the device to [Ports] only when the operator changed it: a platform default stays a
// default, not a stored key.
TEST(SelPort, OkStoresTheDeviceOnlyWhenChanged)
{
    struct Case {
        const char *name;
        std::function<void(PortDialog &)> edit;
        const char *stored;   // [Ports] COM5 after OK; nullptr for no key
    };
    const Case cases[] = {
        {"unchanged", [](PortDialog &) {}, nullptr},
        {"network server", [](PortDialog &d) { typeDevice(d, "rfc2217://127.0.0.1:2001"); }, "rfc2217://127.0.0.1:2001"},
        {"typed back as it was", [](PortDialog &d) { typeDevice(d, defaultDeviceForPort(5)); }, nullptr},
        {"edit of another port",
         [](PortDialog &d) {
             d.portList()->setCurrentIndex(1);
             typeDevice(d, "tcp://10.0.0.7:4001");
             d.portList()->setCurrentIndex(4);
         },
         nullptr},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        ScratchDataDir data;
        writeBareConfig(data, "[Settings]\nPort=0\nBaud=0\n");
        PortDialog dialog;
        dialog.show();
        dialog.portList()->setCurrentIndex(4);
        dialog.speedList()->setCurrentIndex(2);
        test.edit(dialog);

        clickOk(dialog);

        ASSERT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.chosenPort(), 5);
        EXPECT_EQ(dialog.chosenSpeed(), 9600);
        EXPECT_EQ(settingsValue("Port"), "4");
        EXPECT_EQ(settingsValue("Baud"), "2");
        const QStringList ports = configFile().snapshot().section("Ports");
        if (test.stored) {
            EXPECT_EQ(ports, QStringList{QStringLiteral("COM5=") + test.stored});
            EXPECT_EQ(deviceForPort(5), test.stored);
        } else {
            EXPECT_TRUE(ports.isEmpty()) << ports.join('|').toStdString();
            EXPECT_FALSE(readBytes(data.file("config.ini")).contains("[Ports]"));
        }
    }
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
// choice still goes to the caller for this session. A changed device is stored first, so its
// failure is the one reported and nothing else is tried.
TEST(SelPort, ChoiceThatCannotBeStoredIsReportedAndStillHandedBack)
{
    struct Case {
        const char *device;   // typed into the field; nullptr leaves it as shown
        TextId warning;
    };
    const Case cases[] = {{nullptr, Text::SettingsNotStored}, {"tcp://10.0.0.7:4001", Text::DeviceNotStored}};
    for (const Case &test : cases) {
        SCOPED_TRACE(test.device ? test.device : "unchanged");
        ScratchDataDir data;
        data.writeConfig("[Settings]\nPort=0\nBaud=0\n");
        const QString config = data.readConfig();
        giveToNobody(data.path());
        const QByteArray folder = QFile::encodeName(data.path());
        ASSERT_EQ(::chmod(folder.constData(), 0555), 0);

        const bool ran = asOrdinaryUser([&test] {
            PortDialog dialog;
            dialog.show();
            dialog.portList()->setCurrentIndex(4);
            dialog.speedList()->setCurrentIndex(dialog.speedList()->findText("19200"));
            if (test.device)
                typeDevice(dialog, test.device);
            QStringList shown;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            whenModalOpens([&](QWidget *modal) {
                if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                    shown << box->text();
                    icon = box->icon();
                    box->accept();
                }
            });
            clickOk(dialog);

            ASSERT_EQ(shown.size(), 1) << shown.join('|').toStdString();
            EXPECT_EQ(icon, QMessageBox::Warning);
            EXPECT_TRUE(shown[0].startsWith(LookupText(test.warning).section('\n', 0, 0))) << shown[0].toStdString();
            EXPECT_TRUE(shown[0].contains("cannot write " + configFilePath())) << shown[0].toStdString();
            EXPECT_TRUE(shown[0].contains("Permission denied")) << shown[0].toStdString();
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            EXPECT_EQ(dialog.chosenPort(), 5);
            EXPECT_EQ(dialog.chosenSpeed(), 19200);
        });
        ::chmod(folder.constData(), 0755);

        EXPECT_TRUE(ran);
        EXPECT_EQ(data.readConfig(), config);
    }
}

} // namespace
} // namespace kestrix
