#pragma once
// The port dialog (dialog 131): the operator picks a port and a line speed by hand. OK stores
// them in config.ini ("Port", "Baud" of [Settings]) and hands them to the caller; when they
// cannot be stored, a warning says why and the choice still holds for the session. Closing the
// dialog any other way changes nothing. Each port entry names the device behind the number
// ("COM3  /dev/ttyS2"), with the system's description of that device as its tooltip.

#include "comm/serial_settings.h"

#include <QDialog>
#include <QString>
#include <functional>

class QComboBox;
class QLabel;

namespace kestrix {

// The system's description of a serial device ("USB-Serial Controller"), empty when it has none.
using PortDescriptions = std::function<QString(const QString &device)>;

// Descriptions as the system lists its serial ports (QSerialPortInfo).
PortDescriptions systemPortDescriptions();

class PortDialog : public QDialog {
    Q_OBJECT
public:
    explicit PortDialog(QWidget *parent = nullptr);
    PortDialog(const PortDescriptions &descriptions, QWidget *parent = nullptr);

    // The port (1..20) and speed (2400, 4800, 9600 or 19200) chosen with OK; 0 before that.
    int chosenPort() const { return m_chosenPort; }
    int chosenSpeed() const { return m_chosenSpeed; }

    // Shows the session's port and speed instead of config.ini's (they may not have been stored).
    void select(const SerialSettings &settings);

    QComboBox *portList() { return m_portList; }
    QComboBox *speedList() { return m_speedList; }

    void accept() override;

private:
    void fillLists(const PortDescriptions &descriptions);
    void selectConfiguredSettings();
    int typedSpeedIndex() const;
    void markSpeedInvalid(bool invalid);

    QComboBox *m_portList = nullptr;
    QComboBox *m_speedList = nullptr;
    QLabel *m_speedHint = nullptr;
    int m_chosenPort = 0;
    int m_chosenSpeed = 0;
};

} // namespace kestrix
