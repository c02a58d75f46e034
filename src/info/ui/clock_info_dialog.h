#pragma once
// The clock information dialog (dialog 175): the information variables of vars.txt, one row
// each. "Download Information" reads their values from the board; "Clear Information" asks for
// the password of config.ini and then sets them back to zero, showing the board's answers.
// Board operations run on the dialog's own worker with a progress bar and Cancel; closing the
// dialog cancels a running one.

#include "comm/operation_runner.h"
#include "comm/serial_settings.h"
#include "info/info_variables.h"

#include <QDialog>
#include <array>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace kestrix {

class OperationProgress;
struct InfoValues;

class CParametersDlg : public QDialog {
    Q_OBJECT
public:
    enum Control {
        CloseButton = 1,
        VariableList = 1054,
        ClearButton = 1129,
        StatusLine = 1134,
        DownloadButton = 1208,
    };
    static constexpr int DialogNumber = 175;
    enum Column { NameColumn, ValueColumn };

    explicit CParametersDlg(QWidget *parent = nullptr);
    ~CParametersDlg() override;

    QTreeWidget *list() const { return m_list; }
    QLabel *statusLine() const { return m_status; }
    OperationProgress *progress() const { return m_progress; }
    OperationRunner &runner() { return m_runner; }
    const SerialSettings &settings() const { return m_settings; }
    const std::vector<InfoVariable> &variables() const { return m_variables; }

    void OnDownload();
    void OnClear();

    // Cancels a running board operation before the dialog closes.
    void done(int result) override;

private:
    QLayout *createButtons();
    void connectRunner();
    bool loadVariables();
    void showNames();
    void showValues(const InfoValues &values);
    void setButtonsEnabled(bool enabled);
    void showStatus(const QString &message);
    void fileBox(const QString &reason);

    SerialSettings m_settings;
    std::vector<InfoVariable> m_variables;
    QTreeWidget *m_list = nullptr;
    std::array<QPushButton *, 2> m_operationButtons{};
    QLabel *m_status = nullptr;
    OperationProgress *m_progress = nullptr;
    OperationRunner m_runner;
};

} // namespace kestrix
