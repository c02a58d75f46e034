#include "comm/ui/port_dialog.h"

#include "base/config_file.h"
#include "comm/device_address.h"
#include "comm/serial_settings.h"
#include "base/language.h"
#include "base/texts.h"
#include "widgets/fixed_dialog.h"
#include "widgets/localize.h"

#include <QComboBox>
#include <QHash>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPortInfo>

namespace kestrix {
namespace {

constexpr int DialogNumber = 131;

// Control numbers of the dialog.
enum Control {
    OkButton = 1,
    PortListControl = 1006,
    SpeedListControl = 1056,
    PortCaption = 1192,
    SpeedCaption = 1193,
};

const QString InvalidStyle = QStringLiteral("QLineEdit { background-color: #ffd6d6; }");

} // namespace

PortDescriptions systemPortDescriptions()
{
    // A device is known by its path on Linux and macOS, by its name ("COM3") on Windows.
    QHash<QString, QString> descriptions;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (info.description().isEmpty())
            continue;
        descriptions.insert(info.systemLocation(), info.description());
        descriptions.insert(info.portName(), info.description());
    }
    return [descriptions](const QString &device) { return descriptions.value(device); };
}

PortDialog::PortDialog(QWidget *parent) : PortDialog(systemPortDescriptions(), parent) {}

PortDialog::PortDialog(const PortDescriptions &descriptions, QWidget *parent)
    : QDialog(parent), m_descriptions(descriptions), m_devices(PortDevices::fromConfig())
{
    setDialogNumber(this, DialogNumber);
    setWindowTitle(QStringLiteral("Communication Settings"));

    m_portList = new QComboBox(this);
    setControlNumber(m_portList, PortListControl);

    // The speed list takes typed text too; typing never adds entries, OK checks the text.
    m_speedList = new QComboBox(this);
    m_speedList->setEditable(true);
    m_speedList->setInsertPolicy(QComboBox::NoInsert);
    setControlNumber(m_speedList, SpeedListControl);

    m_speedHint = new QLabel(this);
    m_speedHint->setObjectName(QStringLiteral("speedHint"));
    m_speedHint->setVisible(false);

    const QString forms = textOr(Text::DeviceForms, QStringLiteral("/dev/ttyUSB0, rfc2217://host:port or tcp://host:port"));
    m_deviceEdit = new QLineEdit(this);
    m_deviceEdit->setObjectName(QStringLiteral("deviceEdit"));
    m_deviceEdit->setPlaceholderText(forms);
    m_deviceEdit->setToolTip(forms);
    auto *deviceCaption = new QLabel(textOr(Text::DeviceCaption, QStringLiteral("Device:")), this);
    deviceCaption->setObjectName(QStringLiteral("deviceCaption"));
    deviceCaption->setBuddy(m_deviceEdit);

    m_deviceHint = new QLabel(this);
    m_deviceHint->setObjectName(QStringLiteral("deviceHint"));
    m_deviceHint->setWordWrap(true);
    m_deviceHint->setVisible(false);

    auto *ok = new QPushButton(textOr(Text::OkButton, QStringLiteral("OK")), this);
    ok->setDefault(true);
    setControlNumber(ok, OkButton);
    connect(ok, &QPushButton::clicked, this, &PortDialog::accept);
    connect(m_speedList, &QComboBox::editTextChanged, this, [this] { markSpeedInvalid(false); });

    auto *layout = new QGridLayout(this);
    layout->addWidget(numberedLabel(PortCaption, QStringLiteral("Select Communication Port:"), this), 0, 0);
    layout->addWidget(m_portList, 0, 1);
    layout->addWidget(deviceCaption, 1, 0);
    layout->addWidget(m_deviceEdit, 1, 1);
    layout->addWidget(m_deviceHint, 2, 0, 1, 2);
    layout->addWidget(numberedLabel(SpeedCaption, QStringLiteral("Select Communication Speed"), this), 3, 0);
    layout->addWidget(m_speedList, 3, 1);
    layout->addWidget(m_speedHint, 4, 0, 1, 2);
    layout->addWidget(ok, 5, 0, 1, 2, Qt::AlignCenter);

    fillLists();
    selectConfiguredSettings();
    showPortDevice(m_portList->currentIndex());
    connect(m_portList, &QComboBox::currentIndexChanged, this, &PortDialog::showPortDevice);
    connect(m_deviceEdit, &QLineEdit::textChanged, this, &PortDialog::deviceEdited);
    LocalizeDialog(this, DialogNumber);
    fixDialogSize(this);
}

void PortDialog::fillLists()
{
    for (int port = 1; port <= PortCount; ++port) {
        m_portList->addItem(QString());
        showEntry(port, m_devices.device(port));
    }
    for (int speed : SpeedTable)
        m_speedList->addItem(QString::number(speed));
    m_portList->setCurrentIndex(0);
    m_speedList->setCurrentIndex(0);
}

// The port's entry names the device, with the system's description of it as tooltip.
void PortDialog::showEntry(int port, const QString &device)
{
    const int index = port - 1;
    m_portList->setItemText(index, QStringLiteral("COM %1  %2").arg(QString::number(port), device));
    const QString description = m_descriptions ? m_descriptions(device) : QString();
    m_portList->setItemData(index, description.isEmpty() ? QVariant() : QVariant(description), Qt::ToolTipRole);
}

// The device field shows the selected port's device; an edit of the port left is dropped.
void PortDialog::showPortDevice(int index)
{
    for (int port = 1; port <= PortCount; ++port)
        showEntry(port, m_devices.device(port));
    m_deviceEdit->setText(m_devices.device(index + 1));
    markDeviceInvalid(QString());
}

void PortDialog::deviceEdited(const QString &device)
{
    showEntry(m_portList->currentIndex() + 1, device);
    markDeviceInvalid(QString());
}

// An empty problem clears the mark.
void PortDialog::markDeviceInvalid(const QString &problem)
{
    if (!problem.isEmpty())
        m_deviceHint->setText(textOr(Text::DeviceHint, QStringLiteral("The device cannot be used: %1.")).arg(problem));
    m_deviceHint->setVisible(!problem.isEmpty());
    m_deviceEdit->setStyleSheet(problem.isEmpty() ? QString() : InvalidStyle);
}

// Selects the positions config.ini gives; a missing or out-of-range value keeps COM 1 / 2400.
void PortDialog::selectConfiguredSettings()
{
    SerialSettings settings{0, 0};
    readSerialSettings(settings);
    select(settings);
}

void PortDialog::select(const SerialSettings &settings)
{
    if (settings.port >= 1 && settings.port <= PortCount)
        m_portList->setCurrentIndex(settings.port - 1);
    const int index = speedIndex(settings.speed);
    if (index >= 0)
        m_speedList->setCurrentIndex(index);
}

// Position of the speed in the field's text, or -1 when the text is not one of the entries.
int PortDialog::typedSpeedIndex() const
{
    return m_speedList->findText(m_speedList->currentText().trimmed(), Qt::MatchExactly);
}

void PortDialog::markSpeedInvalid(bool invalid)
{
    if (invalid) {
        QStringList speeds;
        for (int speed : SpeedTable)
            speeds << QString::number(speed);
        m_speedHint->setText(textOr(Text::SpeedHint, QStringLiteral("Choose one of the listed speeds: %1.")).arg(speeds.join(QStringLiteral(", "))));
    }
    m_speedHint->setVisible(invalid);
    if (QLineEdit *edit = m_speedList->lineEdit())
        edit->setStyleSheet(invalid ? InvalidStyle : QString());
}

// A typed speed that is not one of the four entries refuses OK, marks the field and says which
// speeds exist: the board talks only at these, and quietly taking another speed would leave the
// utility talking at a rate the operator did not ask for. A device that cannot be used refuses
// OK the same way, saying what is wrong with it. Refused, OK stores nothing.
void PortDialog::accept()
{
    const int speed = typedSpeedIndex();
    const QString problem = deviceProblem(m_deviceEdit->text());
    markSpeedInvalid(speed < 0);
    markDeviceInvalid(problem);
    if (!problem.isEmpty()) {
        m_deviceEdit->setFocus();
        m_deviceEdit->selectAll();
        return;
    }
    if (speed < 0) {
        m_speedList->setFocus();
        if (QLineEdit *edit = m_speedList->lineEdit())
            edit->selectAll();
        return;
    }
    m_chosenPort = m_portList->currentIndex() + 1;
    m_chosenSpeed = SpeedTable[speed];
    // The choice holds for this session even when it cannot be stored; the operator is told why.
    // A changed device goes to [Ports] first, and port and speed are stored only with the device
    // they are meant for. An unchanged device is not written, so that a default stays a default.
    QString error;
    const QString device = m_deviceEdit->text();
    if (device != m_devices.device(m_chosenPort) && !mapPortToDevice(m_chosenPort, device, &error))
        QMessageBox::warning(this, windowTitle(),
                             textOr(Text::DeviceNotStored,
                                    QStringLiteral("The port and speed hold until the program ends, but neither "
                                                   "they nor the device could be stored:\n%1"))
                                 .arg(error));
    else if (!writeSerialSettings({m_chosenPort, m_chosenSpeed}, &error))
        QMessageBox::warning(this, windowTitle(),
                             textOr(Text::SettingsNotStored,
                                    QStringLiteral("The port and speed hold until the program ends, but could "
                                                   "not be stored:\n%1"))
                                 .arg(error));
    QDialog::accept();
}

} // namespace kestrix
