#include "widgets/spin_edit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>
#include <QWheelEvent>
#include <algorithm>

namespace kestrix {

namespace {

// Refuses typing beyond a number of characters.
class TypingLimitValidator : public QValidator {
public:
    TypingLimitValidator(int limit, QObject *parent) : QValidator(parent), m_limit(limit) {}
    State validate(QString &input, int &) const override
    {
        return m_limit > 0 && input.size() > m_limit ? Invalid : Acceptable;
    }

private:
    int m_limit;
};

QToolButton *arrowButton(Qt::ArrowType arrow, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(16, 11);
    return button;
}

} // namespace

void setTypingLimit(QLineEdit *edit, int characters)
{
    edit->setValidator(characters > 0 ? new TypingLimitValidator(characters, edit) : nullptr);
}

SpinEdit::SpinEdit(QWidget *parent)
    : QWidget(parent),
      m_edit(new QLineEdit(this)),
      m_upDown(new QWidget(this)),
      m_up(arrowButton(Qt::UpArrow, m_upDown)),
      m_down(arrowButton(Qt::DownArrow, m_upDown))
{
    auto *arrows = new QVBoxLayout(m_upDown);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    arrows->addWidget(m_up);
    arrows->addWidget(m_down);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    row->addWidget(m_edit);
    row->addWidget(m_upDown);

    m_edit->setFixedWidth(m_edit->fontMetrics().horizontalAdvance(QStringLiteral("-000")) + 12);
    m_edit->installEventFilter(this);
    connect(m_up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { stepBy(-1); });
    // The field takes the focus for the whole; the matching policy lets QWidget::setTabOrder()
    // place the spin edit as one stop, which it refuses for a widget without focus.
    setFocusProxy(m_edit);
    setFocusPolicy(m_edit->focusPolicy());
}

void SpinEdit::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
    m_position = std::clamp(0, minimum, maximum);
}

void SpinEdit::setTypingLimit(int characters)
{
    m_typingLimit = characters;
    kestrix::setTypingLimit(m_edit, characters);
}

QString SpinEdit::text() const
{
    return m_edit->text();
}

void SpinEdit::setText(const QString &text)
{
    m_edit->setText(text);
}

int SpinEdit::position() const
{
    bool ok = false;
    const int shown = m_edit->text().trimmed().toInt(&ok);
    return ok && shown >= m_minimum && shown <= m_maximum ? shown : m_position;
}

void SpinEdit::stepBy(int steps)
{
    m_position = std::clamp(position() + steps, m_minimum, m_maximum);
    m_edit->setText(QString::number(m_position));
    Q_EMIT positionChanged(m_position);
}

// The arrow keys in the field step like the arrows beside it.
bool SpinEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            stepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// The wheel reaches here from the field and the arrows, which do not take it. A focused field
// steps one per notch; an unfocused one leaves the wheel to the scrolling window.
void SpinEdit::wheelEvent(QWheelEvent *event)
{
    if (!m_edit->hasFocus() || !isEnabled()) {
        m_wheelDelta = 0;
        event->ignore();
        return;
    }
    constexpr int Notch = QWheelEvent::DefaultDeltasPerStep;
    m_wheelDelta += event->angleDelta().y();
    const int steps = m_wheelDelta / Notch;
    m_wheelDelta -= steps * Notch;
    if (steps != 0)
        stepBy(steps);
    event->accept();
}

} // namespace kestrix
