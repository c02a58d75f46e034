#pragma once
// The main window's status area: the "Status:" caption, three message lines and a progress bar
// that shows while a board operation runs. A line too long for its place is cut with an
// ellipsis and shows whole in its tooltip.

#include <QWidget>
#include <array>

QT_BEGIN_NAMESPACE
class QLabel;
class QProgressBar;
class QPushButton;
QT_END_NAMESPACE

namespace kestrix {

class StatusPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int LineCount = 3;

    explicit StatusPanel(QWidget *parent = nullptr);

    QLabel *caption() const { return m_caption; }
    // Message line 1, 2 or 3 as index 0, 1 or 2; nullptr for any other index. Its text() is
    // the whole text.
    QLabel *line(int index) const;
    // What a line shows at its present width: the whole text, or its start and an ellipsis.
    QString shownText(int index) const;
    QProgressBar *progressBar() const { return m_progress; }
    QPushButton *cancelButton() const { return m_cancel; }

public Q_SLOTS:
    void setLine(int index, const QString &text);
    void clearLines();
    void showProgress(int done, int total);
    // The bar and the Cancel button show only while an operation runs.
    void setBusy(bool busy);

Q_SIGNALS:
    // Cancel was clicked: the running operation is to stop before its next frame.
    void cancelRequested();

private:
    QLabel *m_caption;
    std::array<QLabel *, LineCount> m_lines{};
    QProgressBar *m_progress;
    QPushButton *m_cancel;
};

} // namespace kestrix
