#pragma once
// A dialog's progress bar and Cancel button for the board operations of its own worker: the
// bar follows the operation's steps, Cancel stops it before its next frame, and both show only
// while an operation runs.

#include <QWidget>

QT_BEGIN_NAMESPACE
class QProgressBar;
class QPushButton;
QT_END_NAMESPACE

namespace kestrix {

class OperationRunner;

// Shows the runner's message boxes (such as "Error Opening Communication Port!") over `window`,
// titled with its title; the operation waits until the box is closed.
void showMessageBoxesOver(QWidget *window, OperationRunner &runner);

class OperationProgress : public QWidget {
    Q_OBJECT
public:
    explicit OperationProgress(OperationRunner &runner, QWidget *parent = nullptr);

    QProgressBar *progressBar() const { return m_progress; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    void showProgress(int done, int total);
    void setBusy(bool busy);

    QProgressBar *m_progress;
    QPushButton *m_cancel;
};

} // namespace kestrix
