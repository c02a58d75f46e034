// bare_dialog: the yardstick of the start-up benchmark. A Qt Widgets program that does nothing
// but show an empty dialog; it prints "painted after N ms" (N counted from the start of main)
// once the dialog has been painted for the first time, and exits, as
// `kestrix --exit-after-first-paint` does.
//
//   bare_dialog [--text]   --text puts one line of text into the dialog, so that the program
//                          also loads the font system, as every window with text must

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>
#include <QTimer>
#include <cstdio>

namespace {

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

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments().mid(1);
    if (!arguments.isEmpty() && arguments != QStringList{QStringLiteral("--text")}) {
        std::fprintf(stderr, "Usage: bare_dialog [--text]\n");
        return 2;
    }
    QDialog dialog;
    if (!arguments.isEmpty())
        (new QVBoxLayout(&dialog))->addWidget(new QLabel(QStringLiteral("Communication OK."), &dialog));
    FirstPaint firstPaint(dialog, sinceStart);
    bool painted = true;
    QTimer::singleShot(30000, &dialog, [&] {
        std::fprintf(stderr, "bare_dialog: the dialog was not painted within 30 s\n");
        painted = false;
        dialog.reject();
    });
    dialog.exec();
    return painted ? 0 : 1;
}
