#pragma once
// The board panel: how every window shows its board jobs. Status line(s), a progress bar over
// the job's steps, Cancel (shown while a job of this window runs), the window's operation
// buttons disabled while the board's queue is busy, message and file-error boxes, and what
// closing mid-job means. A dialog adds its fields and buttons and submits jobs through its
// panel; it wires no worker of its own.

#include "comm/board_queue.h"

#include <QPointer>
#include <QWidget>
#include <vector>

QT_BEGIN_NAMESPACE
class QAbstractButton;
class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;
QT_END_NAMESPACE

namespace kestrix {

class BoardPanel : public QWidget {
    Q_OBJECT
public:
    // The main window's form: the "Status:" caption (1215) and three message lines
    // (1134-1136). A dialog's form: one status line carrying the dialog's control number.
    static BoardPanel *forMainWindow(BoardQueue &queue, QWidget *parent);
    static BoardPanel *forDialog(BoardQueue &queue, int statusLineNumber, QWidget *parent);

    BoardQueue &queue() const { return *m_queue; }
    // Follows another board's queue (the session moved to another port).
    void setQueue(BoardQueue &queue);

    int lineCount() const { return int(m_lines.size()); }
    QLabel *caption() const { return m_caption; }
    // Message line `index` (0-based); nullptr beyond the form's lines. Its text() is whole.
    QLabel *line(int index) const;
    // What a line shows at its present width: the whole text, or its start and an ellipsis.
    QString shownText(int index) const;
    QProgressBar *progressBar() const { return m_progress; }
    QPushButton *cancelButton() const { return m_cancel; }

    // Buttons that start board jobs: disabled while the board's queue is busy.
    void addOperationButtons(std::initializer_list<QAbstractButton *> buttons);
    // Whether this window's job is running or waiting, or any job of the board.
    bool running() const;
    bool busy() const { return m_queue->busy(); }

    // Submits a job as this window's: its lines and progress show here, message boxes over
    // the window, and `done` gets the result while the window exists.
    template <class Data, class Done>
    void submit(BoardJob<Data> job, Done done)
    {
        prepare();
        m_queue->submit(std::move(job), owner(), std::move(done));
    }
    // Runs any work in an envelope of `form` as this window's job (checks, scans, versions).
    template <class Work, class Done>
    void run(StatusForm form, Work work, Done done)
    {
        prepare();
        m_queue->run(std::move(form), owner(), std::move(work), std::move(done));
    }

    // A job's message box over the window that started it, titled with its title; a job whose
    // window has gone (or that has none) tells its ending in the status lines only.
    static void showOverOwner(QObject *owner, const QString &text, MessageIcon icon);
    // A message box over the window, titled with its title.
    void showMessage(const QString &text, MessageIcon icon);
    // "File Opening Error!" and the reason, as an error box.
    void showFileError(const QString &reason);

    // Whether the window may close now. While its job runs, asks; when the user closes anyway,
    // the job is cancelled and its ending, with what the board may now hold, goes to the
    // main window's status. Returns false when the user keeps the window open.
    bool confirmClose();

    // The keys of a board dialog: Return never starts a board job (no button is the default,
    // Return in a field does nothing), Escape closes through confirmClose().
    static void useBoardDialogKeys(QDialog *dialog);

public Q_SLOTS:
    void setLine(int index, const QString &text);
    void clearLines();

private:
    BoardPanel(BoardQueue &queue, int lines, QWidget *parent);
    QObject *owner() const;
    void prepare();
    void connectQueue();
    void showProgress(const QObject *owner, int done, int total);
    void showLine(const QObject *owner, int index, const QString &text);
    void setBusy(bool busy);
    void jobEnded(const QObject *owner);
    void showAbandonedEnding(const QObject *owner, const QString &ending, int framesWritten);

    QPointer<BoardQueue> m_queue;
    QLabel *m_caption = nullptr;
    std::vector<QLabel *> m_lines;
    QProgressBar *m_progress;
    QPushButton *m_cancel;
    std::vector<QPointer<QAbstractButton>> m_buttons;
    std::vector<QMetaObject::Connection> m_connections;
};

} // namespace kestrix
