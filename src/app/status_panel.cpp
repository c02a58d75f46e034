#include "app/status_panel.h"

#include "base/language.h"
#include "base/texts.h"
#include "widgets/localize.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int StatusCaption = 1215;
constexpr int MessageLines[StatusPanel::LineCount] = {1134, 1135, 1136};
constexpr int LineWidth = 300;

// A message line: a long text does not widen the window while an operation reports; it is cut
// with an ellipsis where its place ends.
class StatusLine : public QLabel {
public:
    explicit StatusLine(QWidget *parent) : QLabel(parent)
    {
        setMinimumWidth(LineWidth);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        setTextFormat(Qt::PlainText);
    }

    QString shownText() const
    {
        return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(), shownText(),
                              foregroundRole());
    }
};

StatusLine *messageLine(int number, QWidget *parent)
{
    auto *label = new StatusLine(parent);
    setControlNumber(label, number);
    return label;
}

} // namespace

StatusPanel::StatusPanel(QWidget *parent)
    : QWidget(parent),
      m_caption(new QLabel(QStringLiteral("Status:"), this)),
      m_progress(new QProgressBar(this)),
      m_cancel(new QPushButton(textOr(Text::CancelButton, QStringLiteral("Cancel")), this))
{
    setControlNumber(m_caption, StatusCaption);
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_caption);
    for (int i = 0; i < LineCount; ++i) {
        m_lines[i] = messageLine(MessageLines[i], this);
        layout->addWidget(m_lines[i]);
    }

    // "12 / 80": steps done of the operation's steps.
    m_progress->setTextVisible(true);
    m_progress->setFormat(QStringLiteral("%v / %m"));
    m_progress->setAlignment(Qt::AlignCenter);
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &StatusPanel::cancelRequested);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_cancel);
    for (QWidget *part : {static_cast<QWidget *>(m_progress), static_cast<QWidget *>(m_cancel)}) {
        QSizePolicy keepPlace = part->sizePolicy();
        keepPlace.setRetainSizeWhenHidden(true);
        part->setSizePolicy(keepPlace);
        part->hide();
    }
    layout->addLayout(progressRow);
    layout->addStretch();
    setMinimumWidth(LineWidth);
}

QLabel *StatusPanel::line(int index) const
{
    return index >= 0 && index < LineCount ? m_lines[index] : nullptr;
}

QString StatusPanel::shownText(int index) const
{
    const auto *label = static_cast<const StatusLine *>(line(index));
    return label ? label->shownText() : QString();
}

// The tooltip holds the whole text, for a line cut at its end.
void StatusPanel::setLine(int index, const QString &text)
{
    if (QLabel *label = line(index)) {
        label->setText(text);
        label->setToolTip(text);
    }
}

void StatusPanel::clearLines()
{
    for (int index = 0; index < LineCount; ++index)
        setLine(index, QString());
}

void StatusPanel::showProgress(int done, int total)
{
    m_progress->setRange(0, total > 0 ? total : 0);
    m_progress->setValue(done);
}

void StatusPanel::setBusy(bool busy)
{
    if (busy)
        m_progress->reset();
    m_progress->setVisible(busy);
    m_cancel->setVisible(busy);
}

} // namespace kestrix
