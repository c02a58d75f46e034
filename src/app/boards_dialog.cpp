#include "app/boards_dialog.h"

#include "alarms/alarm_file.h"
#include "alarms/alarm_transfer.h"
#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "comm/board_queue.h"
#include "comm/serial_settings.h"
#include "daynight/daynight_transfer.h"
#include "daynight/location_file.h"
#include "info/info_transfer.h"
#include "params/parameter_file.h"
#include "params/parameter_upload.h"
#include "time/time_upload.h"
#include "widgets/board_panel.h"
#include "widgets/localize.h"
#include "widgets/message_icons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace kestrix {

namespace {

constexpr int BoardWidth = 160;
constexpr int DeviceWidth = 160;
constexpr int OutcomeWidth = 300;
constexpr int VisibleRows = 8;
constexpr char FileFilter[] = "Configuration File  (*.ini)";

QPushButton *newButton(int control, const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    setControlNumber(button, control);
    button->setAutoDefault(false);
    return button;
}

// A dialog-form line reads "Status: <message>"; a row shows the message alone.
QString withoutStatusCaption(const QString &line)
{
    const QString caption = textOr(Text::Status, QStringLiteral("Status:")) + u' ';
    return line.startsWith(caption) ? line.mid(caption.size()) : line;
}

// The port, speed a board works at: those of its queue when it has one, else the session's speed.
SerialSettings settingsFor(int port)
{
    for (BoardQueue *queue : BoardQueues::instance().all()) {
        if (queue->settings().port == port)
            return queue->settings();
    }
    return {port, BoardQueues::instance().session().settings().speed};
}

} // namespace

BoardsDialog::BoardsDialog(std::function<ParameterValues()> windowValues, QWidget *parent)
    : QDialog(parent), m_windowValues(std::move(windowValues))
{
    setDialogNumber(this, DialogNumber);
    setWindowTitle(QStringLiteral("Boards"));

    m_list = new QTreeWidget(this);
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({textOr(Text::BoardsColumnBoard, QStringLiteral("Board")),
                             textOr(Text::BoardsColumnDevice, QStringLiteral("Device")),
                             textOr(Text::BoardsColumnOutcome, QStringLiteral("Last outcome"))});
    m_list->header()->setSectionsMovable(false);
    m_list->header()->setStretchLastSection(true);
    m_list->setColumnWidth(BoardColumn, BoardWidth);
    m_list->setColumnWidth(DeviceColumn, DeviceWidth);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setMinimumWidth(BoardWidth + DeviceWidth + OutcomeWidth + 2 * m_list->frameWidth());
    const int rowHeight = m_list->fontMetrics().height() + 6;
    m_list->setMinimumHeight(m_list->header()->sizeHint().height() + VisibleRows * rowHeight);

    m_all = new QCheckBox(QStringLiteral("All boards"), this);
    setControlNumber(m_all, AllBoxes);
    connect(m_all, &QCheckBox::clicked, this, [this](bool checked) {
        for (const Row &row : m_rows)
            row.item->setCheckState(BoardColumn, checked ? Qt::Checked : Qt::Unchecked);
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_all);
    layout->addLayout(createOperations());
    layout->addLayout(createFooter());
    LocalizeDialog(this, DialogNumber);
    fillRows();
    fillPlaces();
    updateButtons();
}

BoardsDialog::~BoardsDialog()
{
    // Destroyed without closing (its parent went): its jobs are cancelled and report nowhere.
    for (const QPointer<BoardQueue> &queue : m_usedQueues) {
        if (queue && queue->runs(this))
            queue->abandon(this);
    }
}

QLayout *BoardsDialog::createOperations()
{
    struct Operation {
        int control;
        const char *text;
        Action action;
    };
    constexpr Operation operations[] = {
        {SetTimeButton, "Set Time from PC", Action::SetTime},
        {ParametersButton, "Upload All Parameters", Action::UploadParameters},
        {AlarmsButton, "Upload Alarms", Action::UploadAlarms},
        {PlaceButton, "Upload Day&&Night Place", Action::UploadPlace},
        {InformationButton, "Download Clock Information", Action::DownloadInformation},
    };
    m_source = new QComboBox(this);
    if (m_windowValues)
        m_source->addItem(textOr(Text::BoardsWindowValues, QStringLiteral("Values of the main window")), WindowValues);
    m_source->addItem(textOr(Text::BoardsParameterFile, QStringLiteral("Parameter file ...")), ParameterFile);
    m_places = new QComboBox(this);
    for (QComboBox *box : {m_source, m_places})
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    auto *grid = new QGridLayout;
    int row = 0;
    for (const Operation &operation : operations) {
        QPushButton *button = newButton(operation.control, QString::fromUtf8(operation.text), this);
        m_buttons[operation.control] = button;
        const Action action = operation.action;
        connect(button, &QPushButton::clicked, this, [this, action] { start(action); });
        grid->addWidget(button, row, 0);
        if (action == Action::UploadParameters)
            grid->addWidget(m_source, row, 1);
        else if (action == Action::UploadPlace)
            grid->addWidget(m_places, row, 1);
        ++row;
    }
    grid->setColumnStretch(2, 1);
    return grid;
}

QLayout *BoardsDialog::createFooter()
{
    auto *footer = new QHBoxLayout;
    QPushButton *retry = newButton(RetryButton, QStringLiteral("Retry Failed"), this);
    QPushButton *cancel = newButton(CancelButton, textOr(Text::CancelButton, QStringLiteral("Cancel")), this);
    QPushButton *close = newButton(CloseButton, textOr(Text::CloseButton, QStringLiteral("Close")), this);
    const QIcon closeIcon(resourceFilePath(QStringLiteral("close.png")));
    if (!closeIcon.isNull())
        close->setIcon(closeIcon);
    m_buttons[RetryButton] = retry;
    m_buttons[CancelButton] = cancel;
    m_buttons[CloseButton] = close;
    connect(retry, &QPushButton::clicked, this, &BoardsDialog::retryFailed);
    connect(cancel, &QPushButton::clicked, this, &BoardsDialog::cancel);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    footer->addWidget(retry);
    footer->addWidget(cancel);
    footer->addStretch();
    footer->addWidget(close);
    return footer;
}

// One row per port that config.ini maps to a device that is there; the list says so when
// there is none.
void BoardsDialog::fillRows()
{
    std::map<QString, int> portOfDevice;
    for (int port : configuredPorts()) {
        const QString device = deviceForPort(port);
        auto *item = new QTreeWidgetItem(QStringList{boardLabel(port), device, QString()});
        item->setToolTip(BoardColumn, QStringLiteral("COM%1").arg(port));
        m_list->addTopLevelItem(item);
        // A second port of one device would run two jobs on one board at once: it is shown, not offered.
        if (const auto first = portOfDevice.find(device); first != portOfDevice.end()) {
            item->setFlags(Qt::NoItemFlags);
            item->setText(OutcomeColumn, LookupText(Text::BoardsSameDevice).arg(boardLabel(first->second)));
            continue;
        }
        portOfDevice.emplace(device, port);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(BoardColumn, Qt::Unchecked);
        Row row;
        row.port = port;
        row.item = item;
        m_rows.push_back(std::move(row));
    }
    if (m_rows.empty()) {
        auto *note = new QTreeWidgetItem(QStringList{QString(), QString(), LookupText(Text::BoardsNone)});
        note->setFlags(Qt::NoItemFlags);
        m_list->addTopLevelItem(note);
    }
}

void BoardsDialog::fillPlaces()
{
    const LocationList list = loadLocationList();
    for (int slot = 1; slot <= list.names.size(); ++slot) {
        if (!list.names[slot - 1].isEmpty())
            m_places->addItem(list.names[slot - 1], slot);
    }
}

QPushButton *BoardsDialog::button(int control) const
{
    const auto found = m_buttons.find(control);
    return found != m_buttons.end() ? found->second : nullptr;
}

std::vector<int> BoardsDialog::ports() const
{
    std::vector<int> ports;
    for (const Row &row : m_rows)
        ports.push_back(row.port);
    return ports;
}

BoardsDialog::Row *BoardsDialog::rowOf(int port)
{
    const auto found = std::ranges::find(m_rows, port, &Row::port);
    return found != m_rows.end() ? &*found : nullptr;
}

const BoardsDialog::Row *BoardsDialog::rowOf(int port) const
{
    const auto found = std::ranges::find(m_rows, port, &Row::port);
    return found != m_rows.end() ? &*found : nullptr;
}

void BoardsDialog::setChecked(int port, bool checked)
{
    if (Row *row = rowOf(port))
        row->item->setCheckState(BoardColumn, checked ? Qt::Checked : Qt::Unchecked);
}

QString BoardsDialog::outcome(int port) const
{
    const Row *row = rowOf(port);
    return row ? row->item->text(OutcomeColumn) : QString();
}

QString BoardsDialog::details(int port) const
{
    const Row *row = rowOf(port);
    return row ? row->item->toolTip(OutcomeColumn) : QString();
}

std::optional<bool> BoardsDialog::completed(int port) const
{
    const Row *row = rowOf(port);
    return row ? row->completed : std::nullopt;
}

bool BoardsDialog::running() const
{
    return std::ranges::any_of(m_rows, &Row::running);
}

// ---------------------------------------------------------------------------------------------
// Operations

template <class Data>
BoardsDialog::Launch BoardsDialog::launchOf(BoardJob<Data> job, std::function<QString(const Data &)> valuesText)
{
    return [this, job = std::move(job), valuesText = std::move(valuesText)](Row &row) {
        const int port = row.port;
        queueFor(row).submit(job, this, [this, port, valuesText](const JobResult<Data> &result) {
            jobFinished(port, result.ending, valuesText && result.ending.ran() ? valuesText(result.data) : QString());
        });
    };
}

void BoardsDialog::start(Action action)
{
    if (running())
        return;
    std::vector<int> checked;
    for (const Row &row : m_rows) {
        if (row.item->checkState(BoardColumn) == Qt::Checked)
            checked.push_back(row.port);
    }
    if (checked.empty())
        return;
    std::optional<Launch> launch = prepare(action);
    if (!launch)
        return;
    m_last = std::move(launch);
    run(checked);
}

void BoardsDialog::retryFailed()
{
    if (running() || !m_last)
        return;
    std::vector<int> failed;
    for (const Row &row : m_rows) {
        if (row.completed == false)
            failed.push_back(row.port);
    }
    run(failed);
}

void BoardsDialog::run(const std::vector<int> &ports)
{
    for (int port : ports) {
        Row *row = rowOf(port);
        if (!row)
            continue;
        jobStarted(*row);
        (*m_last)(*row);
    }
    updateButtons();
}

void BoardsDialog::cancel()
{
    for (const QPointer<BoardQueue> &queue : m_usedQueues) {
        if (queue && queue->runs(this))
            queue->cancelAll();
    }
}

// The job of an action with what it sends read once, for every board: nothing, after saying
// why, when a file cannot be read or the user chose none.
std::optional<BoardsDialog::Launch> BoardsDialog::prepare(Action action)
{
    const auto fileError = [this](const QString &reason) {
        QMessageBox::critical(this, windowTitle(), LookupText(Text::FileOpenError) + u'\n' + reason);
    };
    switch (action) {
    case Action::SetTime:
        return launchOf(pcTimeUploadJob());
    case Action::UploadParameters: {
        // A parameter file goes over the window's values, as Load followed by Adjust All does.
        ParameterValues values = m_windowValues ? m_windowValues() : ParameterValues();
        if (m_source->currentData().toInt() == ParameterFile) {
            QFileDialog dialog(this);
            dialog.setOption(QFileDialog::DontUseNativeDialog);
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
            dialog.setNameFilter(QString::fromLatin1(FileFilter));
            if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
                return std::nullopt;
            QString error;
            const std::optional<ParameterUpdate> update = loadParameterFile(dialog.selectedFiles().constFirst(), &error);
            if (!update) {
                fileError(error);
                return std::nullopt;
            }
            values.apply(*update);
        }
        return Launch([this, values](Row &row) {
            const int port = row.port;
            queueFor(row).run(
                StatusForm::mainWindow(), this,
                [values](kestrix::Operation &operation) {
                    return uploadAll(values, TimeUpload{pcTimeUploadJob(), PcTimeUploadSteps}, operation);
                },
                [this, port](const JobResult<AllUpload> &result) { jobFinished(port, result.ending); });
        });
    }
    case Action::UploadAlarms: {
        // Without alarms.txt the board's programs would stay as they are only by chance.
        const StoredAlarms stored = readStoredAlarms();
        if (!stored.file) {
            fileError(stored.error);
            return std::nullopt;
        }
        return launchOf(alarmUploadJob(Alarms{stored.parameters, stored.file->programs}));
    }
    case Action::UploadPlace: {
        if (m_places->currentIndex() < 0)
            return std::nullopt;
        const LocationRecord record = loadLocation(m_places->currentData().toInt());
        const DayNightSchedule schedule{loadLocationList().brightness, record.name, record.times};
        if (const QString problem = scheduleProblem(schedule); !problem.isEmpty()) {
            QMessageBox::warning(this, windowTitle(), problem);
            return std::nullopt;
        }
        return launchOf(scheduleUploadJob(schedule));
    }
    case Action::DownloadInformation: {
        QString error;
        const std::optional<InfoVariableFile> file = loadInfoVariables(infoVariableFilePath(), &error);
        if (!file) {
            fileError(error);
            return std::nullopt;
        }
        const std::vector<InfoVariable> variables = file->variables;
        return launchOf<InfoValues>(informationDownloadJob(variables), [variables](const InfoValues &read) {
            QStringList lines;
            for (size_t index = 0; index < variables.size() && index < read.values.size(); ++index) {
                const QString value = read.values[index].value_or(LookupText(Text::NoAnswer));
                lines << variables[index].name + QStringLiteral(": ") + value;
            }
            return lines.join(u'\n');
        });
    }
    }
    return std::nullopt;
}

// The board's queue at its speed, showing its jobs' lines, progress and message boxes in the
// row. Connected once per queue.
BoardQueue &BoardsDialog::queueFor(Row &row)
{
    const int port = row.port;
    const SerialSettings settings = settingsFor(port);
    BoardQueue &queue = BoardQueues::instance().queue(port);
    queue.setSettings(settings);
    queue.setMessageBoxHandler([self = QPointer<BoardsDialog>(this), port](QObject *owner, const QString &text,
                                                                           MessageIcon icon) {
        if (self && owner == self.data())
            self->noteMessage(port, text);
        else
            BoardPanel::showOverOwner(owner, text, icon);
    });
    if (std::ranges::find(m_usedQueues, QPointer<BoardQueue>(&queue)) != m_usedQueues.end())
        return queue;
    m_usedQueues.emplace_back(&queue);
    connect(&queue, &BoardQueue::lineChanged, this, [this, port](const QObject *owner, int index, const QString &text) {
        Row *row = rowOf(port);
        if (owner != this || !row || !row->running || index < 0)
            return;
        if (row->lines.size() <= index)
            row->lines.resize(index + 1);
        row->lines[index] = withoutStatusCaption(text);
        showRow(*row);
    });
    connect(&queue, &BoardQueue::progressChanged, this, [this, port](const QObject *owner, int done, int total) {
        Row *row = rowOf(port);
        if (owner != this || !row || !row->running)
            return;
        row->progress = total > 0 ? QStringLiteral("%1 / %2").arg(done).arg(total) : QString();
        showRow(*row);
    });
    return queue;
}

void BoardsDialog::jobStarted(Row &row)
{
    row.running = true;
    row.completed.reset();
    row.lines = QStringList{LookupText(Text::BoardsWaiting)};
    row.progress.clear();
    row.messages.clear();
    row.values.clear();
    showRow(row);
}

void BoardsDialog::jobFinished(int port, const JobEnding &ending, const QString &values)
{
    Row *row = rowOf(port);
    if (!row)
        return;
    row->running = false;
    row->completed = ending.completed();
    row->progress.clear();
    row->values = values;
    // A failed check ends without a text of its own: the failure its lines show stands.
    if (!ending.text.isEmpty())
        row->lines = QStringList{ending.text};
    showRow(*row);
    updateButtons();
}

// Message boxes of the dialog's jobs ("Error Opening Communication Port!") show in their row,
// not once per board.
void BoardsDialog::noteMessage(int port, const QString &text)
{
    Row *row = rowOf(port);
    if (!row)
        return;
    if (!row->messages.isEmpty())
        row->messages += u'\n';
    row->messages += text;
    showRow(*row);
}

void BoardsDialog::showRow(const Row &row)
{
    QStringList shown;
    for (const QString &line : row.lines) {
        if (!line.isEmpty())
            shown << line;
    }
    QString text = shown.join(u' ');
    if (!row.progress.isEmpty())
        text += QStringLiteral(" (") + row.progress + u')';
    row.item->setText(OutcomeColumn, text);
    QStringList details{text};
    for (const QString &more : {row.messages, row.values}) {
        if (!more.isEmpty())
            details << more;
    }
    row.item->setToolTip(OutcomeColumn, details.join(u'\n'));
}

// Operations start only while no row runs; Retry only when the last action left a board
// that did not complete; Cancel only while a row runs.
void BoardsDialog::updateButtons()
{
    const bool busy = running();
    for (int control : {SetTimeButton, ParametersButton, AlarmsButton, InformationButton})
        button(control)->setEnabled(!busy && !m_rows.empty());
    button(PlaceButton)->setEnabled(!busy && !m_rows.empty() && m_places->count() > 0);
    const bool failed = std::ranges::any_of(m_rows, [](const Row &row) { return row.completed == false; });
    button(RetryButton)->setEnabled(!busy && m_last && failed);
    button(CancelButton)->setEnabled(busy);
}

void BoardsDialog::done(int result)
{
    if (running()) {
        const QMessageBox::StandardButton answer =
            QMessageBox::question(this, windowTitle(), LookupText(Text::CloseWhileBusy),
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
        for (const QPointer<BoardQueue> &queue : m_usedQueues) {
            if (queue && queue->runs(this))
                queue->abandon(this);
        }
        for (Row &row : m_rows)
            row.running = false;
    }
    QDialog::done(result);
}

} // namespace kestrix
