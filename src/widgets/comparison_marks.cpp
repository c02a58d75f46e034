#include "widgets/comparison_marks.h"

#include "base/language.h"
#include "base/texts.h"
#include "widgets/localize.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>
#include <algorithm>

namespace kestrix {

namespace {

constexpr int VerifyBoxNumber = 5521;
constexpr int FrameWidth = 2;
const QColor DifferingColour(0xd3, 0x2f, 0x2f);
const QColor UnansweredColour(0xf5, 0x7c, 0x00);

// A frame drawn around a control, on the control's parent so that the control keeps its own
// look; it follows the control's place and visibility and lets every click through.
class MarkFrame : public QWidget {
public:
    MarkFrame(QWidget *control, QColor colour) : QWidget(control->parentWidget()), m_control(control), m_colour(colour)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        control->installEventFilter(this);
        follow();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            if (watched == m_control)
                follow();
            break;
        default:
            break;
        }
        return false;
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(QPen(m_colour, FrameWidth));
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }

private:
    void follow()
    {
        if (!m_control)
            return;
        setGeometry(m_control->geometry().adjusted(-FrameWidth, -FrameWidth, FrameWidth, FrameWidth));
        setVisible(!m_control->isHidden());
        raise();
    }

    QPointer<QWidget> m_control;
    QColor m_colour;
};

// Each mark's tooltip line under the control's own tooltip.
QString joined(const QString &first, const QString &line)
{
    return first.isEmpty() ? line : first + QLatin1Char('\n') + line;
}

} // namespace

ComparisonMarks::~ComparisonMarks()
{
    clear();
}

void ComparisonMarks::watch(const QList<QWidget *> &controls)
{
    for (QWidget *control : controls) {
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            connect(edit, &QLineEdit::textChanged, this, &ComparisonMarks::clear);
        else if (auto *list = qobject_cast<QComboBox *>(control))
            connect(list, &QComboBox::currentIndexChanged, this, &ComparisonMarks::clear);
        else if (auto *box = qobject_cast<QCheckBox *>(control))
            connect(box, &QCheckBox::toggled, this, &ComparisonMarks::clear);
        else if (auto *spin = qobject_cast<QAbstractSpinBox *>(control))
            connect(spin, &QAbstractSpinBox::editingFinished, this, &ComparisonMarks::clear);
    }
}

void ComparisonMarks::show(const ItemComparison &comparison, const ItemControls &controlsOf)
{
    clear();
    for (const ItemDifference &item : comparison.differing) {
        for (QWidget *control : controlsOf(item.item))
            markDiffering(control, item.boardValue);
    }
    for (const UnansweredItem &item : comparison.unanswered) {
        for (QWidget *control : controlsOf(item.item))
            markUnanswered(control);
    }
}

void ComparisonMarks::markDiffering(QWidget *control, const QString &boardValue)
{
    const QString shown = boardValue.isEmpty() ? QStringLiteral("-") : boardValue;
    mark(control, Mark::Differing, LookupText(Text::BoardHolds).arg(shown));
}

void ComparisonMarks::markUnanswered(QWidget *control)
{
    mark(control, Mark::Unanswered, LookupText(Text::BoardNoAnswer));
}

// A control marked twice (two items on one control) keeps its first frame and both lines.
void ComparisonMarks::mark(QWidget *control, Mark mark, const QString &toolTip)
{
    if (!control)
        return;
    const auto earlier = std::ranges::find_if(m_entries, [control](const Entry &entry) { return entry.control == control; });
    if (earlier != m_entries.end()) {
        control->setToolTip(joined(control->toolTip(), toolTip));
        return;
    }
    const QColor colour = mark == Mark::Differing ? DifferingColour : UnansweredColour;
    m_entries.push_back({control, new MarkFrame(control, colour), control->toolTip(), mark});
    control->setToolTip(joined(control->toolTip(), toolTip));
}

void ComparisonMarks::clear()
{
    for (Entry &entry : m_entries) {
        if (entry.control)
            entry.control->setToolTip(entry.toolTip);
        delete entry.frame.data();
    }
    m_entries.clear();
}

ComparisonMarks::Mark ComparisonMarks::markOf(const QWidget *control) const
{
    const auto found = std::ranges::find_if(m_entries, [control](const Entry &entry) { return entry.control == control; });
    return found == m_entries.end() ? Mark::None : found->mark;
}

void verifyUpload(BoardPanel &panel, BoardJob<std::vector<RegisterCheck>> readBack)
{
    readBack.completionText = [](const std::vector<RegisterCheck> &checks) { return readBackSummary(checks); };
    panel.submit(std::move(readBack), [](const JobResult<std::vector<RegisterCheck>> &) {});
}

// Every open window's box: a change in one shows in the others at once.
std::vector<QPointer<QCheckBox>> &verifyBoxes()
{
    static std::vector<QPointer<QCheckBox>> boxes;
    std::erase_if(boxes, [](const QPointer<QCheckBox> &box) { return box.isNull(); });
    return boxes;
}

QCheckBox *createVerifyBox(BoardPanel &panel, QWidget *parent)
{
    auto *box = new QCheckBox(QStringLiteral("Verify after upload"), parent);
    setControlNumber(box, VerifyBoxNumber);
    const auto &open = verifyBoxes();
    box->setChecked(open.empty() ? verifyAfterUpload() : open.front()->isChecked());
    QObject::connect(box, &QCheckBox::toggled, &panel, [&panel](bool verify) {
        for (QCheckBox *other : verifyBoxes()) {
            const QSignalBlocker quiet(other);
            other->setChecked(verify);
        }
        QString error;
        if (!storeVerifyAfterUpload(verify, &error))
            panel.showFileError(error);
    });
    verifyBoxes().push_back(box);
    return box;
}

} // namespace kestrix
