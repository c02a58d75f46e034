#pragma once
// The port dialog (dialog 131): the operator picks a port and a line speed by hand. OK stores
// them in config.ini ("Port", "Baud" of [Settings]) and hands them to the caller; when they
// cannot be stored, a warning says why and the choice still holds for the session. Closing the
// dialog any other way changes nothing. Each port entry names the device behind the number
// ("COM3  /dev/ttyS2"), with the system's description of that device as its tooltip.
//
// The device field below the list shows the selected port's device and lets the operator name
// another one: a local path or a network serial server (rfc2217://host:port, tcp://host:port).
// The entry follows the edit; choosing another port drops an edit not yet confirmed. OK refuses
// a device that cannot be used and stores nothing then; a changed device goes to [Ports] of
// config.ini, an unchanged one is not written, so that a platform default stays a default.

#include "comm/serial_settings.h"

#include <QDialog>
#include <QString>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;

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
    QLineEdit *deviceEdit() { return m_deviceEdit; }

    void accept() override;

private:
    void fillLists();
    void showEntry(int port, const QString &device);
    void selectConfiguredSettings();
    int typedSpeedIndex() const;
    void markSpeedInvalid(bool invalid);
    void showPortDevice(int index);
    void deviceEdited(const QString &device);
    void markDeviceInvalid(const QString &problem);

    QComboBox *m_portList = nullptr;
    QComboBox *m_speedList = nullptr;
    QLabel *m_speedHint = nullptr;
    QLineEdit *m_deviceEdit = nullptr;
    QLabel *m_deviceHint = nullptr;
    PortDescriptions m_descriptions;
    PortDevices m_devices;   // as config.ini names them when the dialog opens
    int m_chosenPort = 0;
    int m_chosenSpeed = 0;
};

} // namespace kestrix
