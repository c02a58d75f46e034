// bare_dialog: the yardstick of the start-up benchmark. A Qt Widgets program that does nothing
// but show a dialog; it prints "painted after N ms" (N counted from the start of main) once the
// dialog has been painted for the first time, and exits, as the benchmark's main window does.
//
//   bare_dialog                             an empty dialog
//   bare_dialog --widgets LIST [--size WxH] a dialog holding the widgets LIST names, as
//                                           "QPushButton=40,QLabel=52,QScrollArea=1", in a grid
//                                           (inside the scroll area when LIST has one), at the
//                                           size given

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr int PaintTimeoutMs = 30000;
constexpr int GridColumns = 6;

// Prints the time and closes the dialog once its first paint has been handled.
class FirstPaint : public QObject {
public:
    FirstPaint(QDialog &dialog, const QElapsedTimer &sinceStart) : m_dialog(dialog), m_sinceStart(sinceStart)
    {
        dialog.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(this, [this] {
                std::printf("painted after %.1f ms\n", double(m_sinceStart.nsecsElapsed()) / 1e6);
                std::fflush(stdout);
                m_dialog.reject();
            }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    QDialog &m_dialog;
    const QElapsedTimer &m_sinceStart;
};

// Each kind of widget the list may name, made as a window would fill it: with a short text,
// a few list entries or lines.
struct WidgetMaker {
    const char *name;
    QWidget *(*make)(int number);
};

QString numbered(const char *text, int number)
{
    return QStringLiteral("%1 %2").arg(QLatin1String(text)).arg(number);
}

const WidgetMaker WidgetMakers[] = {
    {"QPlainTextEdit", [](int n) -> QWidget * { return new QPlainTextEdit(numbered("Line", n) + "\n12:00:00\n01.01.26."); }},
    {"QTextEdit", [](int n) -> QWidget * { return new QTextEdit(numbered("Text", n)); }},
    {"QPushButton", [](int n) -> QWidget * { return new QPushButton(numbered("Button", n)); }},
    {"QCheckBox", [](int n) -> QWidget * { return new QCheckBox(numbered("Check", n)); }},
    {"QRadioButton", [](int n) -> QWidget * { return new QRadioButton(numbered("Choice", n)); }},
    {"QToolButton", [](int n) -> QWidget * {
         auto *button = new QToolButton;
         button->setText(numbered("Tool", n));
         return button;
     }},
    {"QComboBox", [](int n) -> QWidget * {
         auto *list = new QComboBox;
         list->addItems({numbered("Entry", n), QStringLiteral("Second entry"), QStringLiteral("Third entry")});
         return list;
     }},
    {"QSpinBox", [](int n) -> QWidget * {
         auto *spin = new QSpinBox;
         spin->setValue(n % 100);
         return spin;
     }},
    {"QDoubleSpinBox", [](int) -> QWidget * { return new QDoubleSpinBox; }},
    {"QDateTimeEdit", [](int) -> QWidget * { return new QDateTimeEdit; }},
    {"QLineEdit", [](int n) -> QWidget * { return new QLineEdit(QString::number(n)); }},
    {"QProgressBar", [](int) -> QWidget * { return new QProgressBar; }},
    {"QSlider", [](int) -> QWidget * { return new QSlider(Qt::Horizontal); }},
    {"QScrollBar", [](int) -> QWidget * { return new QScrollBar(Qt::Vertical); }},
    {"QLabel", [](int n) -> QWidget * { return new QLabel(numbered("Label", n)); }},
    {"QGroupBox", [](int n) -> QWidget * { return new QGroupBox(numbered("Group", n)); }},
    {"QScrollArea", [](int) -> QWidget * { return new QScrollArea; }},
    {"QFrame", [](int) -> QWidget * {
         auto *frame = new QFrame;
         frame->setFrameShape(QFrame::StyledPanel);
         return frame;
     }},
    {"QWidget", [](int) -> QWidget * { return new QWidget; }},
};

struct WidgetCount {
    const WidgetMaker *maker;
    int count;
};

// "QPushButton=40,QLabel=52"; nothing for a kind it cannot make or a count that is not a
// whole number from 0 on.
std::optional<std::vector<WidgetCount>> parseWidgets(const QString &list)
{
    std::vector<WidgetCount> counts;
    for (const QString &entry : list.split(u',', Qt::SkipEmptyParts)) {
        const QStringList parts = entry.split(u'=');
        bool isNumber = false;
        const int count = parts.value(1).toInt(&isNumber);
        const WidgetMaker *maker = nullptr;
        for (const WidgetMaker &candidate : WidgetMakers) {
            if (parts.value(0) == QLatin1String(candidate.name))
                maker = &candidate;
        }
        if (parts.size() != 2 || !isNumber || count < 0 || !maker)
            return std::nullopt;
        counts.push_back({maker, count});
    }
    return counts;
}

// The widgets in a grid; inside a scroll area, as the main window holds its content, when the
// list names one (that one is the grid's).
void fill(QDialog &dialog, std::vector<WidgetCount> counts)
{
    auto *outer = new QVBoxLayout(&dialog);
    auto *content = new QWidget;
    for (WidgetCount &entry : counts) {
        if (QLatin1String(entry.maker->name) == QLatin1String("QScrollArea") && entry.count > 0) {
            --entry.count;
            auto *scroll = new QScrollArea;
            scroll->setWidgetResizable(true);
            scroll->setWidget(content);
            outer->addWidget(scroll);
            break;
        }
    }
    if (!content->parent())
        outer->addWidget(content);
    auto *grid = new QGridLayout(content);
    int placed = 0;
    for (const WidgetCount &entry : counts) {
        for (int i = 0; i < entry.count; ++i, ++placed)
            grid->addWidget(entry.maker->make(placed), placed / GridColumns, placed % GridColumns);
    }
}

int usage()
{
    std::fprintf(stderr, "Usage: bare_dialog [--widgets KIND=COUNT,... [--size WIDTHxHEIGHT]]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments().mid(1);
    QDialog dialog;
    if (!arguments.isEmpty()) {
        const bool sized = arguments.size() == 4 && arguments[2] == QStringLiteral("--size");
        if ((arguments.size() != 2 && !sized) || arguments[0] != QStringLiteral("--widgets"))
            return usage();
        const std::optional<std::vector<WidgetCount>> counts = parseWidgets(arguments[1]);
        const QStringList size = sized ? arguments[3].split(u'x') : QStringList();
        if (!counts || (sized && size.size() != 2))
            return usage();
        fill(dialog, *counts);
        if (sized)
            dialog.resize(size[0].toInt(), size[1].toInt());
    }
    FirstPaint firstPaint(dialog, sinceStart);
    bool painted = true;
    QTimer::singleShot(PaintTimeoutMs, &dialog, [&] {
        std::fprintf(stderr, "bare_dialog: the dialog was not painted within %d ms\n", PaintTimeoutMs);
        painted = false;
        dialog.reject();
    });
    dialog.exec();
    return painted ? 0 : 1;
}
