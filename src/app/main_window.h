#pragma once
// The main window (dialog 102): the PC clock in a large seven-segment display, the board panel,
// the parameter groups with their Adjust buttons and the buttons that start the other
// operations. Board jobs run on the session board's queue; the clock keeps ticking meanwhile.

#include "comm/board_queue.h"
#include "comm/serial_settings.h"
#include "time/display_cycle.h"
#include "widgets/main_window_host.h"

#include <QDialog>
#include <QSet>
#include <QTimer>
#include <map>

QT_BEGIN_NAMESPACE
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
QT_END_NAMESPACE

namespace kestrix {

class DigitalEdit;
class ParameterArea;
class ParameterDigits;
class BoardPanel;

class MainWindow : public QDialog, public MainWindowHost {
    Q_OBJECT
public:
    static constexpr int DialogNumber = 102;
    static constexpr int TickMilliseconds = 1000;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    DigitalEdit *display() const { return m_display; }
    // Message line 1, 2 or 3 as index 0, 1 or 2.
    QLabel *messageLine(int index) const;
    BoardPanel *statusPanel() const { return m_status; }
    ParameterArea *parameters() const { return m_params; }
    const ParameterDigits &digits() const;
    DisplayCycle &cycle() { return m_cycle; }

    // MainWindowHost
    QWidget *hostWidget() override { return this; }
    BoardQueue &queue() override;
    BoardPanel &panel() override { return *m_status; }
    SerialSettings settings() const override;
    void setSettings(const SerialSettings &settings) override;
    void wire(int button, std::function<void()> handler) override;
    void showDownloadedClock(const QString &text) override;
    ParameterArea &parameterArea() override { return *m_params; }
    QCheckBox *verifyBox() override { return m_verify; }

    // The one-second clock timer; tests stop it and drive tick() themselves.
    QTimer &clockTimer() { return m_timer; }
    QScrollArea *scrollArea() const { return m_scroll; }
    // A button of the window by its control number, nullptr when there is none.
    QPushButton *button(int number) const;
    // The child carrying a control number, nullptr when there is none.
    QWidget *control(int number) const;
    template <class Widget>
    Widget *control(int number) const { return qobject_cast<Widget *>(control(number)); }

    // The size at which everything shows without scrolling, from the settled layout.
    QSize fullSize();

    void done(int result) override;

public Q_SLOTS:
    // One timer tick at `now`: the PC clock texts and the display cycle.
    void tick(const QDateTime &now);

    void OnAbout();
    // Opens the dialog that runs one operation on many boards at once.
    void OnBoards();

Q_SIGNALS:
    // Emitted after every tick, for whoever watches the clock.
    void ticked();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildWindow();
    QWidget *buildTopRow();
    QWidget *buildPcTimeGroup();
    QWidget *buildDownloadedClock();
    QWidget *buildCommandButtons();
    QWidget *buildFooter();
    QWidget *buildContent();
    void createButtons();
    void initialise();
    void presetStartParameters();
    void wireButtons();
    void registerOperationButtons();
    void sizeToScreen();
    void orderTabStops();

    DisplayCycle m_cycle;
    QTimer m_timer;

    DigitalEdit *m_display = nullptr;
    BoardPanel *m_status = nullptr;
    ParameterArea *m_params = nullptr;
    QLineEdit *m_pcTime = nullptr;
    QLineEdit *m_pcWeekday = nullptr;
    QLineEdit *m_pcDate = nullptr;
    QPlainTextEdit *m_downloadedClock = nullptr;
    QScrollArea *m_scroll = nullptr;
    QWidget *m_topRow = nullptr;
    QWidget *m_footer = nullptr;
    QWidget *m_content = nullptr;
    std::map<int, QPushButton *> m_buttons;
    QCheckBox *m_verify = nullptr;
    QSet<int> m_wired;
};

} // namespace kestrix
