#include "widgets/board_panel.h"

#include "base/language.h"
#include "base/texts.h"
#include "widgets/localize.h"
#include "widgets/message_icons.h"

#include <QAbstractButton>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int StatusCaption = 1215;
constexpr int MainWindowLines[] = {1134, 1135, 1136};
constexpr int LineWidth = 300;

// A message line: a long text does not widen the window while a job reports; it is cut with
// an ellipsis where its place ends, and its tooltip holds the whole text.
class StatusLine : public QLabel {
public:
    explicit StatusLine(QWidget *parent) : QLabel(parent)
    {
        setMinimumWidth(LineWidth);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        setTextFormat(Qt::PlainText);
    }

    QString shownText() const { return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width()); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(), shownText(),
                              foregroundRole());
    }
};

// Return in a board dialog starts nothing: a field's Return is swallowed here, before the
// dialog would hand it to a default button.
class ReturnSwallower : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const int key = static_cast<QKeyEvent *>(event)->key();
        return key == Qt::Key_Return || key == Qt::Key_Enter;
    }
};

} // namespace

void BoardPanel::showOverOwner(QObject *owner, const QString &text, MessageIcon icon)
{
    auto *window = qobject_cast<QWidget *>(owner);
    if (!window)
        return;
    QMessageBox box(messageBoxIcon(icon), window->windowTitle(), text, QMessageBox::Ok, window);
    box.exec();
}

BoardPanel::BoardPanel(BoardQueue &queue, int lines, QWidget *parent)
    : QWidget(parent),
      m_queue(&queue),
      m_progress(new QProgressBar(this)),
      m_cancel(new QPushButton(textOr(Text::CancelButton, QStringLiteral("Cancel")), this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    if (lines > 1) {
        m_caption = new QLabel(QStringLiteral("Status:"), this);
        setControlNumber(m_caption, StatusCaption);
        QFont bold = m_caption->font();
        bold.setBold(true);
        m_caption->setFont(bold);
        layout->addWidget(m_caption);
    }
    for (int i = 0; i < lines; ++i) {
        m_lines.push_back(new StatusLine(this));
        layout->addWidget(m_lines.back());
    }
    // "12 / 80": steps done of the job's steps.
    m_progress->setTextVisible(true);
    m_progress->setFormat(QStringLiteral("%v / %m"));
    m_progress->setAlignment(Qt::AlignCenter);
    m_cancel->setAutoDefault(false);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_cancel);
    // The place stays reserved, so the window does not jump when a job starts.
    for (QWidget *part : {static_cast<QWidget *>(m_progress), static_cast<QWidget *>(m_cancel)}) {
        QSizePolicy keepPlace = part->sizePolicy();
        keepPlace.setRetainSizeWhenHidden(true);
        part->setSizePolicy(keepPlace);
        part->hide();
    }
    layout->addLayout(progressRow);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_queue->cancel(); });
    connectQueue();
}

BoardPanel *BoardPanel::forMainWindow(BoardQueue &queue, QWidget *parent)
{
    auto *panel = new BoardPanel(queue, int(std::size(MainWindowLines)), parent);
    for (int i = 0; i < panel->lineCount(); ++i)
        setControlNumber(panel->line(i), MainWindowLines[i]);
    panel->layout()->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
    panel->setMinimumWidth(LineWidth);
    return panel;
}

BoardPanel *BoardPanel::forDialog(BoardQueue &queue, int statusLineNumber, QWidget *parent)
{
    auto *panel = new BoardPanel(queue, 1, parent);
    setControlNumber(panel->line(0), statusLineNumber);
    panel->line(0)->setMinimumWidth(0);
    return panel;
}

void BoardPanel::setQueue(BoardQueue &queue)
{
    if (&queue == m_queue)
        return;
    for (const QMetaObject::Connection &connection : m_connections)
        disconnect(connection);
    m_connections.clear();
    m_queue = &queue;
    connectQueue();
}

void BoardPanel::connectQueue()
{
    m_connections = {
        connect(m_queue, &BoardQueue::lineChanged, this, &BoardPanel::showLine),
        connect(m_queue, &BoardQueue::progressChanged, this, &BoardPanel::showProgress),
        connect(m_queue, &BoardQueue::busyChanged, this, &BoardPanel::setBusy),
        connect(m_queue, &BoardQueue::jobEnded, this, &BoardPanel::jobEnded),
    };
    m_queue->setMessageBoxHandler(showOverOwner);
    // The main window tells how a job of a window closed mid-job ended.
    if (m_caption)
        m_connections.push_back(connect(m_queue, &BoardQueue::abandonedJobEnded, this, &BoardPanel::showAbandonedEnding));
    setBusy(m_queue->busy());
}

QObject *BoardPanel::owner() const
{
    return window();
}

void BoardPanel::prepare()
{
    m_progress->reset();
    m_progress->show();
    m_cancel->show();
    setBusy(true);
}

QLabel *BoardPanel::line(int index) const
{
    return index >= 0 && index < lineCount() ? m_lines[size_t(index)] : nullptr;
}

QString BoardPanel::shownText(int index) const
{
    const auto *label = static_cast<const StatusLine *>(line(index));
    return label ? label->shownText() : QString();
}

void BoardPanel::addOperationButtons(std::initializer_list<QAbstractButton *> buttons)
{
    for (QAbstractButton *button : buttons) {
        m_buttons.emplace_back(button);
        button->setEnabled(!m_queue->busy());
    }
}

bool BoardPanel::running() const
{
    return m_queue->runs(owner());
}

void BoardPanel::setLine(int index, const QString &text)
{
    if (QLabel *label = line(index)) {
        label->setText(text);
        label->setToolTip(text);
    }
}

void BoardPanel::clearLines()
{
    for (int index = 0; index < lineCount(); ++index)
        setLine(index, QString());
}

void BoardPanel::showLine(const QObject *jobOwner, int index, const QString &text)
{
    if (jobOwner == owner())
        setLine(index, text);
}

void BoardPanel::showProgress(const QObject *jobOwner, int done, int total)
{
    if (jobOwner != owner())
        return;
    m_progress->setRange(0, total > 0 ? total : 0);
    m_progress->setValue(done);
}

void BoardPanel::setBusy(bool busy)
{
    for (const QPointer<QAbstractButton> &button : m_buttons) {
        if (button)
            button->setEnabled(!busy);
    }
    const bool mine = busy && running();
    m_progress->setVisible(mine);
    m_cancel->setVisible(mine);
}

void BoardPanel::jobEnded(const QObject *)
{
    setBusy(m_queue->busy());
}

// How a job of a window closed mid-job ended, and what the board may hold after a write was
// cut short. The window's own jobs end with it.
void BoardPanel::showAbandonedEnding(const QObject *jobOwner, const QString &ending, int framesWritten)
{
    if (jobOwner == owner())
        return;
    clearLines();
    setLine(0, framesWritten > 0 ? LookupText(Text::CancelledPartly).arg(framesWritten) : ending);
}

void BoardPanel::showMessage(const QString &text, MessageIcon icon)
{
    QMessageBox box(messageBoxIcon(icon), window()->windowTitle(), text, QMessageBox::Ok, window());
    box.exec();
}

void BoardPanel::showFileError(const QString &reason)
{
    showMessage(LookupText(Text::FileOpenError) + u'\n' + reason, MessageIcon::Error);
}

bool BoardPanel::confirmClose()
{
    if (!running())
        return true;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        window(), window()->windowTitle(), LookupText(Text::CloseWhileBusy), QMessageBox::Yes | QMessageBox::No,
        QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return false;
    m_queue->abandon(owner());
    return true;
}

void BoardPanel::useBoardDialogKeys(QDialog *dialog)
{
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    auto *swallower = new ReturnSwallower(dialog);
    for (QLineEdit *field : dialog->findChildren<QLineEdit *>())
        field->installEventFilter(swallower);
}

} // namespace kestrix
