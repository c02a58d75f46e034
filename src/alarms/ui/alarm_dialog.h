#pragma once
// The alarm dialog (dialog 172): the six alarm-type parameters and the alarm times of the two
// alarm programs, loaded from config.ini and alarms.txt when it opens. "Save Alarm Times To
// File" writes both back, "Update Alarms" saves and then uploads, "Download Alarm Times" reads
// the board's and "Clear Alarm Times" clears them. Board jobs run on the session board's queue
// and show in the dialog's board panel; closing the dialog mid-job asks first.

#include "alarms/alarm_data.h"
#include "comm/board_job.h"

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace kestrix {

class BoardPanel;
class SpinEdit;
struct AlarmDownload;

class AlarmDialog : public QDialog {
    Q_OBJECT
public:
    // Control numbers of the dialog; the parameter edits and their up-downs (1093-1104) are in
    // alarmParameterTable().
    enum Control {
        CloseButton = 1,
        Program1List = 1105,
        Hour1Edit = 1106,
        Minute1Edit = 1107,
        Type1Edit = 1108,
        UpdateButton = 1109,
        DownloadButton = 1113,
        Program2List = 1115,
        Hour2Edit = 1116,
        Minute2Edit = 1117,
        Type2Edit = 1118,
        SaveButton = 1132,
        StatusLine = 1134,
        ClearButton = 1136,
    };
    static constexpr int DialogNumber = 172;
    // The fields of an alarm time, as the edits under each list show them.
    enum TimeField { Hour, Minute, Type, TimeFieldCount };

    explicit AlarmDialog(QWidget *parent = nullptr);

    QTreeWidget *list(int program) const { return m_programs[size_t(program)].list; }
    QLineEdit *timeEdit(int program, TimeField field) const { return m_programs[size_t(program)].edits[field]; }
    // The parameter in key order C1-C6 (alarm type 0's pulses, duration, pause, then type 1's).
    SpinEdit *parameterEdit(int index) const { return m_parameters[size_t(index)]; }
    QLabel *statusLine() const;
    BoardPanel *panel() const { return m_panel; }
    const Alarms &alarms() const { return m_alarms; }

    void OnDownload();
    void OnSave();
    void OnClear();
    void OnUpdate();

    // Closes (Close, Escape, the close box) only once the panel allows it: while a job of the
    // dialog runs, the user is asked, and closing anyway cancels the job.
    void done(int result) override;

private:
    struct ProgramView {
        QTreeWidget *list = nullptr;
        std::array<QLineEdit *, TimeFieldCount> edits{};
        int selected = 0;   // the slot the edits write to
    };

    QWidget *createParameters();
    QWidget *createProgram(int program);
    QLayout *createButtons();
    void loadAlarms();
    void showAlarms();
    void refreshLists();
    void showSelected(int program);
    void selectRow(int program, int row);
    void typed(int program, TimeField field, const QString &text);
    bool save();
    void downloaded(const JobResult<AlarmDownload> &download);
    void cleared(const JobResult<NoData> &clear);
    void showStatus(const QString &message);

    Alarms m_alarms;
    std::array<SpinEdit *, AlarmParameterCount> m_parameters{};
    std::array<ProgramView, AlarmProgramCount> m_programs{};
    BoardPanel *m_panel = nullptr;
};

} // namespace kestrix
