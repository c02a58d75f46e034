#pragma once
// The boards dialog (dialog 5501): the boards config.ini maps to devices, one row each, and one
// operation started on every checked board at once: the PC time, all parameters, the alarms, a
// day and night place, or the clock information. Each board's job runs on its own queue, so
// the boards work side by side; each row shows its job's progress and ending. Message boxes a
// job asks for show in its row instead of once per board.

#include "comm/board_job.h"
#include "params/parameter_values.h"

#include <QDialog>
#include <QPointer>
#include <functional>
#include <map>
#include <optional>
#include <vector>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
QT_END_NAMESPACE

namespace kestrix {

class BoardQueue;

class BoardsDialog : public QDialog {
    Q_OBJECT
public:
    enum Control {
        CloseButton = 1,
        SetTimeButton = 5505,
        ParametersButton = 5506,
        AlarmsButton = 5507,
        PlaceButton = 5508,
        InformationButton = 5509,
        RetryButton = 5510,
        CancelButton = 5511,
        AllBoxes = 5516,
    };
    static constexpr int DialogNumber = 5501;
    enum Column { BoardColumn, DeviceColumn, OutcomeColumn };
    enum class Action { SetTime, UploadParameters, UploadAlarms, UploadPlace, DownloadInformation };
    // Where an upload of all parameters takes its values from.
    enum ParameterSource { WindowValues, ParameterFile };

    // `windowValues` gives the main window's parameter values; without it the parameters come
    // from a parameter file only.
    explicit BoardsDialog(std::function<ParameterValues()> windowValues = {}, QWidget *parent = nullptr);
    ~BoardsDialog() override;

    QTreeWidget *list() const { return m_list; }
    QPushButton *button(int control) const;
    QComboBox *parameterSource() const { return m_source; }
    QComboBox *places() const { return m_places; }

    // The ports of the rows, top to bottom.
    std::vector<int> ports() const;
    void setChecked(int port, bool checked);
    // The row's outcome as shown, and its details (message boxes, values read, all lines).
    QString outcome(int port) const;
    QString details(int port) const;
    // Whether the last job of the port's row completed; nothing before its first job.
    std::optional<bool> completed(int port) const;
    // Whether a job of the dialog is running or waiting on any board.
    bool running() const;

    // Starts `action` on every checked board.
    void start(Action action);
    // Runs the last action again on the boards whose last job did not complete.
    void retryFailed();
    // Stops every job on the boards the dialog used.
    void cancel();

    // Closes only when no job of the dialog runs, or the user closes anyway (its jobs are then
    // cancelled).
    void done(int result) override;

private:
    struct Row {
        int port = 0;
        QTreeWidgetItem *item = nullptr;
        bool running = false;
        std::optional<bool> completed;
        QStringList lines;      // the job's status lines as it shows them
        QString progress;       // "3 / 8" while it runs
        QString messages;       // the message boxes the job asked for
        QString values;         // what a download read
    };
    // Submits the prepared job of an action for one board's row.
    using Launch = std::function<void(Row &)>;

    QLayout *createOperations();
    QLayout *createFooter();
    void fillRows();
    void fillPlaces();
    std::optional<Launch> prepare(Action action);
    void run(const std::vector<int> &ports);
    BoardQueue &queueFor(Row &row);
    Row *rowOf(int port);
    const Row *rowOf(int port) const;
    void jobStarted(Row &row);
    void jobFinished(int port, const JobEnding &ending, const QString &values = {});
    void showRow(const Row &row);
    void updateButtons();
    void noteMessage(int port, const QString &text);

    template <class Data>
    Launch launchOf(BoardJob<Data> job, std::function<QString(const Data &)> valuesText = {});

    std::function<ParameterValues()> m_windowValues;
    QTreeWidget *m_list = nullptr;
    QCheckBox *m_all = nullptr;
    QComboBox *m_source = nullptr;
    QComboBox *m_places = nullptr;
    std::map<int, QPushButton *> m_buttons;
    std::vector<Row> m_rows;
    std::vector<QPointer<BoardQueue>> m_usedQueues;   // queues the dialog submitted to
    std::optional<Launch> m_last;                     // the last action, prepared
};

} // namespace kestrix
