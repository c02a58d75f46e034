#pragma once
// The manual time dialog (dialog 174): seven fields preset from the PC clock, "Upload Time &&
// Date" sends them to the board of the session's queue, "Close" ends the dialog (asking while
// the upload runs). Return in a field starts no upload: the user clicks the button.

#include "time/time_upload.h"

#include <QDateTime>
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrix {

class BoardPanel;

class ManualTimeDialog : public QDialog {
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
    explicit ManualTimeDialog(QWidget *parent = nullptr, const QDateTime &now = currentLocalTime());

    QLineEdit *field(Clock::Field which) const { return m_fields[size_t(which)]; }
    QLabel *statusLine() const;
    BoardPanel *panel() const { return m_panel; }

    // The seven texts as typed, in register order.
    ClockValues typedFields() const;
    void OnUpload();

    // Closes only when the upload is not running, or the user closes anyway.
    void done(int result) override;

private:
    void createFields(const QDateTime &now);

    std::array<QLineEdit *, Clock::FieldCount> m_fields{};
    BoardPanel *m_panel = nullptr;
    QPushButton *m_upload = nullptr;
    QPushButton *m_close = nullptr;
};

} // namespace kestrix
