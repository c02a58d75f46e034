#pragma once
// The clock information dialog (dialog 175): the information variables of vars.txt, one row
// each. "Download Information" reads their values from the board; "Clear Information" asks for
// the password of config.ini and then sets them back to zero, showing the board's answers.
// Board jobs run on the session's board queue through the dialog's board panel; closing the
// dialog while one runs asks first.

#include "comm/board_job.h"
#include "info/info_variables.h"

#include <QDialog>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace kestrix {

class BoardPanel;
struct InfoValues;

class ClockInfoDialog : public QDialog {
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

    explicit ClockInfoDialog(QWidget *parent = nullptr);

    QTreeWidget *list() const { return m_list; }
    QLabel *statusLine() const;
    BoardPanel *panel() const { return m_panel; }
    const std::vector<InfoVariable> &variables() const { return m_variables; }

    void OnDownload();
    void OnClear();

    // Closes only when no job of the dialog runs, or the user closes anyway.
    void done(int result) override;

private:
    QLayout *createButtons();
    bool loadVariables();
    void showNames();
    void showValues(const JobResult<InfoValues> &result);
    void showStatus(const QString &message);

    std::vector<InfoVariable> m_variables;
    QTreeWidget *m_list = nullptr;
    BoardPanel *m_panel = nullptr;
};

} // namespace kestrix
