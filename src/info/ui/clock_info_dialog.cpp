#include "info/ui/parameters_dlg.h"

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "info/info_transfer.h"
#include "info/ui/password_dlg.h"
#include "widgets/localize.h"
#include "widgets/operation_progress.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
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
    setControlNumber(list, CParametersDlg::VariableList);
    list->setColumnCount(2);
    list->setHeaderLabels({textOr(Text::ParameterColumn, QStringLiteral("Parameter")),
                           textOr(Text::ValueColumn, QStringLiteral("Value"))});
    list->header()->setSectionsMovable(false);
    list->header()->setStretchLastSection(true);
    list->setColumnWidth(CParametersDlg::NameColumn, NameWidth);
    list->setColumnWidth(CParametersDlg::ValueColumn, ValueWidth);
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

CParametersDlg::CParametersDlg(QWidget *parent) : QDialog(parent)
{
    setDialogNumber(this, DialogNumber);
    setWindowTitle(QStringLiteral("Clock Information"));

    m_list = variableList(this);
    m_status = numberedLabel(StatusLine, textOr(Text::Status, QStringLiteral("Status:")), this);
    m_status->setWordWrap(true);
    m_progress = new OperationProgress(m_runner, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addLayout(createButtons());

    connectRunner();
    // 1054 and 1134 also name main-window controls, which have no texts in the language
    // tables; the list and status line take theirs by text number.
    LocalizeDialog(this, DialogNumber);
    readSerialSettings(m_settings);
    if (loadVariables())
        showNames();
}

CParametersDlg::~CParametersDlg()
{
    // The runner waits for a running operation; what it still reports goes nowhere.
    disconnect(&m_runner, nullptr, this, nullptr);
}

QLayout *CParametersDlg::createButtons()
{
    struct ButtonRow {
        int control;
        const char *text;
        void (CParametersDlg::*action)();
    };
    constexpr ButtonRow rows[] = {
        {DownloadButton, "Download Information", &CParametersDlg::OnDownload},
        {ClearButton, "Clear Information", &CParametersDlg::OnClear},
    };
    auto *buttons = new QHBoxLayout;
    for (size_t index = 0; index < std::size(rows); ++index) {
        QPushButton *button = newButton(rows[index].control, QString::fromUtf8(rows[index].text), this);
        connect(button, &QPushButton::clicked, this, rows[index].action);
        buttons->addWidget(button);
        m_operationButtons[index] = button;
    }
    buttons->addStretch();
    QPushButton *close = newButton(CloseButton, textOr(Text::CloseButton, QStringLiteral("Close")), this);
    const QIcon closeIcon(resourceFilePath(QStringLiteral("close.png")));
    if (!closeIcon.isNull())
        close->setIcon(closeIcon);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(close);
    return buttons;
}

void CParametersDlg::connectRunner()
{
    connect(&m_runner, &OperationRunner::lineChanged, this, [this](int index, const QString &text) {
        if (index == 0)
            m_status->setText(text);
    });
    connect(&m_runner, &OperationRunner::busyChanged, this, [this](bool busy) { setButtonsEnabled(!busy); });
    showMessageBoxesOver(this, m_runner);
}

// vars.txt, read again before each operation; without the file there are no variables. Lines
// beyond the 50 used are counted in the status line.
bool CParametersDlg::loadVariables()
{
    QString error;
    std::optional<InfoVariableFile> file = loadInfoVariables(infoVariableFilePath(), &error);
    if (!file) {
        m_variables.clear();
        fileBox(error);
        return false;
    }
    m_variables = std::move(file->variables);
    if (file->droppedLines > 0)
        showStatus(textOr(Text::InfoLinesNotLoaded, QStringLiteral("%1")).arg(file->droppedLines));
    return true;
}

// One row per variable. The rows stay, values and all, while vars.txt names the same
// variables; a changed file gets new rows.
void CParametersDlg::showNames()
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

void CParametersDlg::OnDownload()
{
    if (m_runner.busy() || !loadVariables())
        return;
    showNames();
    m_runner.run(
        this,
        [settings = m_settings, variables = m_variables](Reporter &reporter) {
            return downloadInformation(variables, settings, reporter);
        },
        [this](const InfoValues &values) { showValues(values); });
}

// The password first: a wrong one has been reported by the prompt, Cancel and a missing stored
// password end silently.
void CParametersDlg::OnClear()
{
    if (m_runner.busy())
        return;
    CPasswordDlg prompt(this);
    prompt.exec();
    if (!prompt.passwordAllowed() || !loadVariables())
        return;
    showNames();
    m_runner.run(
        this,
        [settings = m_settings, variables = m_variables](Reporter &reporter) {
            return clearInformation(variables, settings, reporter);
        },
        [this](const InfoValues &values) { showValues(values); });
}

// Only an operation that ran to its end changes the values. A variable that did not answer
// shows no value; its tooltip says why.
void CParametersDlg::showValues(const InfoValues &values)
{
    if (values.outcome != Outcome::Completed)
        return;
    const int rows = std::min(m_list->topLevelItemCount(), int(values.values.size()));
    for (int row = 0; row < rows; ++row) {
        QTreeWidgetItem *item = m_list->topLevelItem(row);
        const std::optional<QString> &value = values.values[size_t(row)];
        item->setText(ValueColumn, value.value_or(QString()));
        item->setToolTip(ValueColumn, value ? QString() : textOr(Text::NoAnswer, QStringLiteral("no answer")));
    }
}

void CParametersDlg::setButtonsEnabled(bool enabled)
{
    for (QPushButton *button : m_operationButtons)
        button->setEnabled(enabled);
}

void CParametersDlg::showStatus(const QString &message)
{
    m_status->setText(textOr(Text::Status, QStringLiteral("Status:")) + u' ' + message);
}

// "File Opening Error!" without an icon, the reason beneath.
void CParametersDlg::fileBox(const QString &reason)
{
    QMessageBox box(QMessageBox::NoIcon, windowTitle(), textOr(Text::FileOpenError, QStringLiteral("File Opening Error!")),
                    QMessageBox::Ok, this);
    box.setInformativeText(reason);
    box.exec();
}

void CParametersDlg::done(int result)
{
    m_runner.cancel();
    QDialog::done(result);
}

} // namespace kestrix
