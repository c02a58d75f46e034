#pragma once
// Dialog and control numbers, and the localisation of a window by them: every dialog carries
// its template number and every localisable control its control number, so that the language
// tables replace texts by number.

class QLabel;
class QString;
class QWidget;

namespace kestrix {

// Stored as the dynamic property "controlNumber"; 0 means no number.
void setControlNumber(QWidget *widget, int number);
int controlNumber(const QWidget *widget);

// Stored as the dynamic property "dialogNumber"; 0 means no number.
void setDialogNumber(QWidget *window, int number);
int dialogNumber(const QWidget *window);

// A static text carrying its control number.
QLabel *numberedLabel(int number, const QString &text, QWidget *parent);

// The picture control showing logo.bmp of the data folder at 68 x 43 pixels; empty when the
// file is missing or unreadable.
QLabel *logoPicture(int number, QWidget *parent);

// Replaces the window's title with the text of `dialogNumber` (when not 0 and it has a text)
// and the text of every child, at any depth, whose control number has a text: buttons, labels,
// line edits and group box titles. Anything without a text keeps the text it was built with.
void LocalizeDialog(QWidget *window, int dialogNumber);

} // namespace kestrix
