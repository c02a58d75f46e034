#pragma once
// Compare with Board and Verify after upload, as the main window and the alarm and day and night
// dialogs show them. A comparison marks the controls whose value differs from the board's with
// a coloured frame and a tooltip naming the board's value, and those the board did not answer
// for with a frame of another colour; the values stay as they are. A second click of Compare
// with Board or any edit of a watched control clears the marks.

#include "base/board_comparison.h"
#include "comm/board_job.h"
#include "widgets/board_panel.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QWidget;
QT_END_NAMESPACE

namespace kestrix {

// The controls that show one compared item ("C1", "p1 slot 3", "January Rise").
using ItemControls = std::function<QList<QWidget *>(const QString &item)>;

class ComparisonMarks : public QObject {
    Q_OBJECT
public:
    enum class Mark { None, Differing, Unanswered };

    explicit ComparisonMarks(QObject *parent = nullptr) : QObject(parent) {}
    ~ComparisonMarks() override;

    // Controls whose edits clear the marks: line edits, lists, check boxes and spin boxes.
    void watch(const QList<QWidget *> &controls);
    // Marks the controls of every differing and every unanswered item.
    void show(const ItemComparison &comparison, const ItemControls &controlsOf);
    void markDiffering(QWidget *control, const QString &boardValue);
    void markUnanswered(QWidget *control);
    void clear();

    bool empty() const { return m_entries.empty(); }
    Mark markOf(const QWidget *control) const;

private:
    struct Entry {
        QPointer<QWidget> control;
        QPointer<QWidget> frame;
        QString toolTip;   // the control's own, put back by clear()
        Mark mark;
    };
    void mark(QWidget *control, Mark mark, const QString &toolTip);

    std::vector<Entry> m_entries;
};

// Compare with Board: with marks shown, clears them; otherwise runs `download` as the window's
// job, ends it with the comparison's summary, and marks what `compare` finds in what it read.
template <class Data>
void compareWithBoard(BoardPanel &panel, ComparisonMarks &marks, BoardJob<Data> download,
                      std::function<ItemComparison(const Data &)> compare, ItemControls controlsOf)
{
    if (!marks.empty()) {
        marks.clear();
        return;
    }
    download.completionText = [compare](const Data &data) { return comparisonSummary(compare(data)); };
    panel.submit(std::move(download), [&marks, compare, controlsOf](const JobResult<Data> &result) {
        if (result.ending.ran())
            marks.show(compare(result.data), controlsOf);
    });
}

// Verify after upload: reads back what an upload wrote as a job of its own, which ends with
// "Verified: ..." or how many registers differ (an incomplete read-back says what did not answer).
void verifyUpload(BoardPanel &panel, BoardJob<std::vector<RegisterCheck>> readBack);

// The "Verify after upload" check box: shows config.ini [Settings] Verify and stores every
// change, so that the main window and its dialogs share one setting. A change that cannot be
// stored holds for the session and shows why in an error box.
QCheckBox *createVerifyBox(BoardPanel &panel, QWidget *parent);

} // namespace kestrix
