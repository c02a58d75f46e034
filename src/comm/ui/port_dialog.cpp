#include "comm/ui/port_dialog.h"

#include "base/config_file.h"
#include "comm/serial_settings.h"
#include "base/language.h"
#include "base/texts.h"
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

PortDialog::PortDialog(const PortDescriptions &descriptions, QWidget *parent) : QDialog(parent)
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

    auto *ok = new QPushButton(textOr(Text::OkButton, QStringLiteral("OK")), this);
    ok->setDefault(true);
    setControlNumber(ok, OkButton);
    connect(ok, &QPushButton::clicked, this, &PortDialog::accept);
    connect(m_speedList, &QComboBox::editTextChanged, this, [this] { markSpeedInvalid(false); });

    auto *layout = new QGridLayout(this);
    layout->addWidget(numberedLabel(PortCaption, QStringLiteral("Select Communication Port:"), this), 0, 0);
    layout->addWidget(m_portList, 0, 1);
    layout->addWidget(numberedLabel(SpeedCaption, QStringLiteral("Select Communication Speed"), this), 1, 0);
    layout->addWidget(m_speedList, 1, 1);
    layout->addWidget(m_speedHint, 2, 0, 1, 2);
    layout->addWidget(ok, 3, 0, 1, 2, Qt::AlignCenter);

    fillLists(descriptions);
    selectConfiguredSettings();
    LocalizeDialog(this, DialogNumber);
}

void PortDialog::fillLists(const PortDescriptions &descriptions)
{
    const PortDevices devices = PortDevices::fromConfig();
    for (int port = 1; port <= PortCount; ++port) {
        const QString device = devices.device(port);
        m_portList->addItem(QStringLiteral("COM %1  %2").arg(port).arg(device));
        const QString description = descriptions ? descriptions(device) : QString();
        if (!description.isEmpty())
            m_portList->setItemData(port - 1, description, Qt::ToolTipRole);
    }
    for (int speed : SpeedTable)
        m_speedList->addItem(QString::number(speed));
    m_portList->setCurrentIndex(0);
    m_speedList->setCurrentIndex(0);
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
        edit->setStyleSheet(invalid ? QStringLiteral("QLineEdit { background-color: #ffd6d6; }") : QString());
}

// A typed speed that is not one of the four entries refuses OK, marks the field and says which
// speeds exist: the board talks only at these, and quietly taking another speed would leave the
// utility talking at a rate the operator did not ask for.
void PortDialog::accept()
{
    const int speed = typedSpeedIndex();
    if (speed < 0) {
        markSpeedInvalid(true);
        m_speedList->setFocus();
        if (QLineEdit *edit = m_speedList->lineEdit())
            edit->selectAll();
        return;
    }
    m_chosenPort = m_portList->currentIndex() + 1;
    m_chosenSpeed = SpeedTable[speed];
    // The choice holds for this session even when it cannot be stored; the operator is told why.
    QString error;
    if (!writeSerialSettings({m_chosenPort, m_chosenSpeed}, &error))
        QMessageBox::warning(this, windowTitle(),
                             textOr(Text::SettingsNotStored,
                                    QStringLiteral("The port and speed hold until the program ends, but could "
                                                   "not be stored:\n%1"))
                                 .arg(error));
    QDialog::accept();
}

} // namespace kestrix
