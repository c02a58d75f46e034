#pragma once
// An edit field with a small up-down control beside it. The field's text is the value: it may
// be empty or hold whatever was typed (up to the typing limit). The arrows step the number
// shown in the field within the range and write the new number into the field. The mouse
// wheel steps too, but only while the field has the focus; otherwise it scrolls the window.

#include <QWidget>

QT_BEGIN_NAMESPACE
class QLineEdit;
class QToolButton;
QT_END_NAMESPACE

namespace kestrix {

// Limits what the user can type into `edit` to `characters` characters. Unlike a maximum
// length it leaves texts the program sets whole, such as "-5" in a field that takes one
// typed character.
void setTypingLimit(QLineEdit *edit, int characters);

class SpinEdit : public QWidget {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget *parent = nullptr);

    QLineEdit *edit() const { return m_edit; }
    // The up-down part, which carries the up-down control's number.
    QWidget *upDown() const { return m_upDown; }
    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    // The most characters the user can type; texts the arrows write are not cut.
    void setTypingLimit(int characters);
    int typingLimit() const { return m_typingLimit; }

    QString text() const;
    void setText(const QString &text);

    // The up-down position: the field's number when it holds one in range, else the last
    // position the arrows set.
    int position() const;

public Q_SLOTS:
    // Moves the position by `steps` (up is positive), at most to the range's ends.
    void stepBy(int steps);

Q_SIGNALS:
    // The arrows changed the position; the field already shows `value`.
    void positionChanged(int value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    QLineEdit *m_edit;
    QWidget *m_upDown;
    QToolButton *m_up;
    QToolButton *m_down;
    int m_minimum = 0;
    int m_maximum = 99;
    int m_position = 0;
    int m_typingLimit = 0;
    int m_wheelDelta = 0;   // wheel turn not yet a whole step (fine-grained wheels)
};

} // namespace kestrix
