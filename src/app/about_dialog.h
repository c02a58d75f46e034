#pragma once
// The About box (dialog 100): logo, program name and version, and when the program was built.

#include <QDialog>
#include <QString>

namespace kestrix {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);
};

// "Compiled: " + the build date as "Mmm dd yyyy" (the day padded with a blank) + ", " + the
// build time as "hh:mm:ss".
QString compiledText();

} // namespace kestrix
