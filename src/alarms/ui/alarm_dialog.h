#pragma once
// The alarm dialog (dialog 172): the six alarm-type parameters and the alarm times of the two
// alarm programs, loaded from config.ini and alarms.txt when it opens. "Save Alarm Times To
// File" writes both back, "Update Alarms" saves and then uploads, "Download Alarm Times" reads
// the board's and "Clear Alarm Times" clears them. "Compare with Board" marks the fields whose
// values differ from the board's; with "Verify after upload" ticked an upload is read back.
// Board jobs run on the session board's queue and show in the dialog's board panel; closing the
// dialog mid-job asks first.

#include "alarms/alarm_data.h"
#include "base/board_comparison.h"
#include "comm/board_job.h"

#include <QDialog>
#include <array>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace kestrix {

class BoardPanel;
class ComparisonMarks;
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
        CompareButton = 5520,
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
    QCheckBox *verifyBox() const { return m_verify; }
    const ComparisonMarks &marks() const { return *m_marks; }
    // The fields that show a compared item ("C2", "p1 slot 3"): a parameter's edit; a slot's
    // program list, and the program's time edits while they show that slot.
    QList<QWidget *> controlsOfItem(const QString &item) const;

    void OnDownload();
    void OnSave();
    void OnClear();
    void OnUpdate();
    void OnCompare();

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
    int rowOfSlot(int program, int slot) const;

    Alarms m_alarms;
    std::array<SpinEdit *, AlarmParameterCount> m_parameters{};
    std::array<ProgramView, AlarmProgramCount> m_programs{};
    BoardPanel *m_panel = nullptr;
    QCheckBox *m_verify = nullptr;
    ComparisonMarks *m_marks = nullptr;
    std::optional<ItemComparison> m_compared;   // the marks' comparison, shown again as rows change
};

} // namespace kestrix
