#pragma once
// The port dialog (dialog 131): the operator picks a port and a line speed by hand. OK stores
// them in config.ini ("Port", "Baud" of [Settings]) and hands them to the caller; closing the
// dialog any other way changes nothing.

#include <QDialog>

class QComboBox;
class QLabel;

namespace kestrix {

class CSelPort : public QDialog {
    Q_OBJECT
public:
    explicit CSelPort(QWidget *parent = nullptr);

    // The port (1..20) and speed (2400, 4800, 9600 or 19200) chosen with OK; 0 before that.
    int chosenPort() const { return m_chosenPort; }
    int chosenSpeed() const { return m_chosenSpeed; }

    QComboBox *portList() { return m_portList; }
    QComboBox *speedList() { return m_speedList; }

    void accept() override;

private:
    void fillLists();
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
