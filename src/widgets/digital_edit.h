#pragma once
// The large seven-segment display of the main window: a read-only, centred line edit that
// draws red on black in every state (active, inactive window, disabled).

#include <QFont>
#include <QLineEdit>

namespace kestrix {

class DigitalEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DigitalEdit(QWidget *parent = nullptr);
};

// The clock font, 42 points: "DS-Digital Italic" when installed, else the seven-segment
// "DSEG7 Classic" in italic, else "DS-Digital Italic" as asked, for the platform to substitute.
QFont clockFont();

} // namespace kestrix
