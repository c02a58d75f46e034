#include "widgets/localize.h"

#include "base/config_file.h"
#include "base/language.h"

#include <QAbstractButton>
#include <QPixmap>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVariant>
#include <QWidget>

namespace kestrix {
namespace {

constexpr char ControlNumberProperty[] = "controlNumber";
constexpr char DialogNumberProperty[] = "dialogNumber";

int numberProperty(const QWidget *widget, const char *name)
{
    return widget ? widget->property(name).toInt() : 0;
}

// Sets the visible text of one kind of widget; false when `widget` is not of that kind.
template <class Widget, void (Widget::*Setter)(const QString &)>
bool setTextOf(QWidget *widget, const QString &text)
{
    auto *typed = qobject_cast<Widget *>(widget);
    if (!typed)
        return false;
    (typed->*Setter)(text);
    return true;
}

using TextSetter = bool (*)(QWidget *, const QString &);

// The kinds of control whose text the language tables replace, and how each shows it.
constexpr TextSetter TextSetters[] = {
    setTextOf<QAbstractButton, &QAbstractButton::setText>,
    setTextOf<QLabel, &QLabel::setText>,
    setTextOf<QGroupBox, &QGroupBox::setTitle>,
    setTextOf<QLineEdit, &QLineEdit::setText>,
};

void setControlText(QWidget *widget, const QString &text)
{
    for (TextSetter setter : TextSetters) {
        if (setter(widget, text))
            return;
    }
}

} // namespace

void setControlNumber(QWidget *widget, int number)
{
    if (widget)
        widget->setProperty(ControlNumberProperty, number);
}

int controlNumber(const QWidget *widget)
{
    return numberProperty(widget, ControlNumberProperty);
}

void setDialogNumber(QWidget *window, int number)
{
    if (window)
        window->setProperty(DialogNumberProperty, number);
}

int dialogNumber(const QWidget *window)
{
    return numberProperty(window, DialogNumberProperty);
}

void LocalizeDialog(QWidget *window, int dialogNumber)
{
    if (!window)
        return;
    if (dialogNumber != 0 && hasText(dialogNumber))
        window->setWindowTitle(LookupNumber(dialogNumber));
    const QList<QWidget *> children = window->findChildren<QWidget *>();
    for (QWidget *child : children) {
        const int number = controlNumber(child);
        if (number != 0 && hasText(number))
            setControlText(child, LookupNumber(number));
    }
}

QLabel *numberedLabel(int number, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    setControlNumber(label, number);
    return label;
}

QLabel *logoPicture(int number, QWidget *parent)
{
    constexpr QSize LogoSize(68, 43);
    auto *picture = numberedLabel(number, QString(), parent);
    picture->setFixedSize(LogoSize);
    const QPixmap logo(resourceFilePath(QStringLiteral("logo.bmp")));
    if (!logo.isNull())
        picture->setPixmap(logo.scaled(LogoSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return picture;
}

} // namespace kestrix
