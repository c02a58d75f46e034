#pragma once
// The manual time dialog (dialog 174): seven fields preset from the PC clock, "Upload Time &&
// Date" sends them to the board on the dialog's own port and speed (config.ini), "Close" ends
// the dialog. The upload runs on the dialog's worker; its buttons are disabled meanwhile.

#include "comm/operation_runner.h"
#include "comm/serial_settings.h"
#include "time/time_upload.h"

#include <QDateTime>
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrix {

class CManualDlg : public QDialog {
    Q_OBJECT
public:
    // Control numbers of the dialog.
    enum Control {
        CloseButton = 1,
        HourEdit = 1116,
        MinuteEdit = 1117,
        SecondEdit = 1118,
        DayEdit = 1119,
        MonthEdit = 1120,
        YearEdit = 1121,
        UploadButton = 1122,
        WeekdayEdit = 1123,
        StatusLine = 1134,
    };
    static constexpr int DialogNumber = 174;

    // `now` presets the fields (the PC's local time when the dialog opens).
    explicit CManualDlg(QWidget *parent = nullptr, const QDateTime &now = currentLocalTime());

    QLineEdit *field(Clock::Field which) const { return m_fields[size_t(which)]; }
    QLabel *statusLine() const { return m_status; }
    OperationRunner &runner() { return m_runner; }
    const SerialSettings &settings() const { return m_settings; }

    // The seven texts as typed, in register order.
    ClockValues typedFields() const;
    void OnUpload();

private:
    void createFields(const QDateTime &now);
    void connectRunner();
    void setButtonsEnabled(bool enabled);

    SerialSettings m_settings;
    std::array<QLineEdit *, Clock::FieldCount> m_fields{};
    QLabel *m_status = nullptr;
    QPushButton *m_upload = nullptr;
    QPushButton *m_close = nullptr;
    OperationRunner m_runner;
};

} // namespace kestrix
