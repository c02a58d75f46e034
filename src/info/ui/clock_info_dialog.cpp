#include "info/ui/clock_info_dialog.h"

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "info/info_transfer.h"
#include "info/ui/password_dialog.h"
#include "widgets/localize.h"
#include "widgets/board_panel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrix {
namespace {

constexpr int NameWidth = 260;
constexpr int ValueWidth = 120;
constexpr int VisibleRows = 15;

QTreeWidget *variableList(QWidget *parent)
{
    auto *list = new QTreeWidget(parent);
    setControlNumber(list, ClockInfoDialog::VariableList);
    list->setColumnCount(2);
    list->setHeaderLabels({textOr(Text::ParameterColumn, QStringLiteral("Parameter")),
                           textOr(Text::ValueColumn, QStringLiteral("Value"))});
    list->header()->setSectionsMovable(false);
    list->header()->setStretchLastSection(true);
    list->setColumnWidth(ClockInfoDialog::NameColumn, NameWidth);
    list->setColumnWidth(ClockInfoDialog::ValueColumn, ValueWidth);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->setMinimumWidth(NameWidth + ValueWidth + 2 * list->frameWidth() + 20);
    const int rowHeight = list->fontMetrics().height() + 4;
    list->setMinimumHeight(list->header()->sizeHint().height() + VisibleRows * rowHeight + 2 * list->frameWidth());
    return list;
}

QPushButton *newButton(int control, const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    setControlNumber(button, control);
    button->setAutoDefault(false);
    return button;
}

} // namespace

ClockInfoDialog::ClockInfoDialog(QWidget *parent) : QDialog(parent)
{
    setDialogNumber(this, DialogNumber);
    setWindowTitle(QStringLiteral("Clock Information"));

    m_list = variableList(this);
    m_panel = BoardPanel::forDialog(BoardQueues::instance().session(), StatusLine, this);
    statusLine()->setText(textOr(Text::Status, QStringLiteral("Status:")));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_panel);
    layout->addLayout(createButtons());
    BoardPanel::useBoardDialogKeys(this);
    // 1054 and 1134 also name main-window controls, which have no texts in the language
    // tables; the list and status line take theirs by text number.
    LocalizeDialog(this, DialogNumber);
    if (loadVariables())
        showNames();
}

QLabel *ClockInfoDialog::statusLine() const
{
    return m_panel->line(0);
}

QLayout *ClockInfoDialog::createButtons()
{
    struct ButtonRow {
        int control;
        const char *text;
        void (ClockInfoDialog::*action)();
    };
    constexpr ButtonRow rows[] = {
        {DownloadButton, "Download Information", &ClockInfoDialog::OnDownload},
        {ClearButton, "Clear Information", &ClockInfoDialog::OnClear},
    };
    auto *buttons = new QHBoxLayout;
    for (size_t index = 0; index < std::size(rows); ++index) {
        QPushButton *button = newButton(rows[index].control, QString::fromUtf8(rows[index].text), this);
        connect(button, &QPushButton::clicked, this, rows[index].action);
        buttons->addWidget(button);
        m_panel->addOperationButtons({button});
    }
    buttons->addStretch();
    QPushButton *close = newButton(CloseButton, textOr(Text::CloseButton, QStringLiteral("Close")), this);
    const QIcon closeIcon(resourceFilePath(QStringLiteral("close.png")));
    if (!closeIcon.isNull())
        close->setIcon(closeIcon);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(close);
    return buttons;
}

// vars.txt, read again before each operation; without the file there are no variables. Lines
// beyond the 50 used are counted in the status line.
bool ClockInfoDialog::loadVariables()
{
    QString error;
    std::optional<InfoVariableFile> file = loadInfoVariables(infoVariableFilePath(), &error);
    if (!file) {
        m_variables.clear();
        m_panel->showFileError(error);
        return false;
    }
    m_variables = std::move(file->variables);
    if (file->droppedLines > 0)
        showStatus(textOr(Text::InfoLinesNotLoaded, QStringLiteral("%1")).arg(file->droppedLines));
    return true;
}

// One row per variable. The rows stay, values and all, while vars.txt names the same
// variables; a changed file gets new rows.
void ClockInfoDialog::showNames()
{
    QStringList names;
    for (const InfoVariable &variable : m_variables)
        names << variable.name;
    QStringList shown;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
        shown << m_list->topLevelItem(row)->text(NameColumn);
    if (names == shown)
        return;
    m_list->clear();
    for (const QString &name : names)
        m_list->addTopLevelItem(new QTreeWidgetItem(QStringList{name, QString()}));
}

void ClockInfoDialog::OnDownload()
{
    if (m_panel->busy() || !loadVariables())
        return;
    showNames();
    m_panel->submit(informationDownloadJob(m_variables),
                    [this](const JobResult<InfoValues> &result) { showValues(result); });
}

// The password first: a wrong one has been reported by the prompt, Cancel and a missing stored
// password end silently.
void ClockInfoDialog::OnClear()
{
    if (m_panel->busy())
        return;
    PasswordDialog prompt(this);
    prompt.exec();
    if (!prompt.passwordAllowed() || !loadVariables())
        return;
    showNames();
    m_panel->submit(informationClearingJob(m_variables),
                    [this](const JobResult<InfoValues> &result) { showValues(result); });
}

// Only a job whose frames all went out to a board that stayed changes the values. A variable
// that did not answer shows no value; its tooltip says why.
void ClockInfoDialog::showValues(const JobResult<InfoValues> &result)
{
    if (!result.ending.ran())
        return;
    const InfoValues &values = result.data;
    const int rows = std::min(m_list->topLevelItemCount(), int(values.values.size()));
    for (int row = 0; row < rows; ++row) {
        QTreeWidgetItem *item = m_list->topLevelItem(row);
        const std::optional<QString> &value = values.values[size_t(row)];
        item->setText(ValueColumn, value.value_or(QString()));
        item->setToolTip(ValueColumn, value ? QString() : textOr(Text::NoAnswer, QStringLiteral("no answer")));
    }
}

void ClockInfoDialog::showStatus(const QString &message)
{
    statusLine()->setText(textOr(Text::Status, QStringLiteral("Status:")) + u' ' + message);
}

void ClockInfoDialog::done(int result)
{
    if (m_panel->confirmClose())
        QDialog::done(result);
}

} // namespace kestrix
