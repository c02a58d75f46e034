#pragma once
// The parameter area of the main window, built from the parameter table: one frame per Adjust
// group with its codes, captions, fields, lists and boxes. It keeps the stored digits in step
// with the lists and check boxes and reports the view-duration spins to the window.

#include "params/parameter_map.h"
#include "params/parameter_digits.h"
#include "params/parameter_values.h"

#include <QList>
#include <QObject>
#include <array>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QWidget;
QT_END_NAMESPACE

namespace kestrix {

class SpinEdit;
struct FrameLayout;   // how one group's frame is laid out

// Adjust groups, Group::ViewTimes to Group::TimeZone.
inline constexpr std::size_t GroupCount = std::size_t(Group::TimeZone) + 1;

class ParameterArea : public QObject {
    Q_OBJECT
public:
    // Builds every control as a descendant of `window`; the window places groupFrame()s.
    explicit ParameterArea(QWidget *window);

    // The frame of an Adjust group, holding its controls and its Adjust button.
    QGroupBox *groupFrame(Group group) const { return m_frames[std::size_t(group)]; }
    QPushButton *adjustButton(Group group) const { return m_adjust[std::size_t(group)]; }

    // The control of a row; nullptr when the row has another kind of control.
    QLineEdit *edit(ParamId id) const;
    SpinEdit *spinEdit(ParamId id) const { return control(id).spin; }
    QComboBox *list(ParamId id) const { return control(id).list; }
    QCheckBox *checkBox(ParamId id) const { return control(id).box; }
    QCheckBox *dayTimeBox() const { return m_dayTime; }
    QCheckBox *lightSensorBox() const { return m_lightSensor; }

    // What a row's encoding works on, as the control shows it now: an edit's text or a list's
    // selected index in decimal (a box gives "1" or "0").
    QString controlText(ParamId id) const;
    // An edit's text, or a list's entry by its index in decimal (none for anything else).
    void setFieldText(ParamId id, const QString &text);

    // The controls a parameter-file key stands for (a pair's fields, a list, a box); none for a
    // key no control shows.
    QList<QWidget *> controlsOfKey(const QString &key) const;
    // Every control whose value an upload or a parameter file takes: edits, lists and boxes.
    QList<QWidget *> valueControls() const;

    ParameterDigits &digits() { return m_digits; }
    const ParameterDigits &digits() const { return m_digits; }

    // Lets captions and notes longer than their column wrap; called once they have their texts.
    void wrapCaptions();
    // Fills every list from the language tables, in list order.
    void fillLists();
    // The state of a freshly opened window: the starting texts, every list on its first entry,
    // every box unticked, every stored digit "0".
    void resetToStart();
    // Makes the lists, boxes and the Brightness field show the stored digits, without counting
    // that as the user's pick.
    void showStoredDigits();
    // Puts supplied values into the fields and stored digits; the controls follow the digits.
    // A loaded th or td also sets the preview's duration (timeViewChanged, dateViewChanged).
    enum class Preview { Keep, Follow };
    void apply(const ParameterUpdate &update, Preview preview = Preview::Keep);
    // Takes back stored digits that an operation changed on its copy of the values.
    void applyDigits(const std::vector<DigitValue> &digits);

    // Every control's value and the stored digits, for an operation or a file to work on.
    ParameterValues values() const;

    // The controls of a group in the order the Tab key visits them: as the screen shows them
    // (rows top to bottom, each left to right), with the group's Adjust button last. A spin edit
    // stands for its field.
    const QList<QWidget *> &focusChain(Group group) const { return m_focusChains[std::size_t(group)]; }

Q_SIGNALS:
    void adjustRequested(kestrix::Group group);
    // The up-down of the time-view (1031) or date-view (1033) duration changed its field.
    void timeViewChanged(int seconds);
    void dateViewChanged(int seconds);

private:
    struct Control {
        QLineEdit *edit = nullptr;
        SpinEdit *spin = nullptr;
        QComboBox *list = nullptr;
        QCheckBox *box = nullptr;
        QWidget *widget = nullptr;   // what the layout places
    };

    const Control &control(ParamId id) const { return m_controls[std::size_t(id)]; }
    void createControls(QWidget *window);
    void createControl(const Parameter &row, QWidget *window);
    void connectStoredDigit(const Parameter &row);
    void createBrightnessBoxes(QWidget *window);
    void clickBrightnessBox(bool dayTime, bool ticked);
    void showBrightness();
    void createFrames(QWidget *window);
    void createAdjustButtons(QWidget *window);
    QGroupBox *createFrame(const FrameLayout &layout, QWidget *window);
    void placeBrightnessBoxes(QGridLayout *grid);
    QGroupBox *waterHumidityFrame(QWidget *parent);
    QWidget *focusTarget(ParamId id) const;

    std::array<Control, std::size_t(ParamId::Count)> m_controls{};
    std::array<QGroupBox *, GroupCount> m_frames{};
    std::array<QPushButton *, GroupCount> m_adjust{};
    std::array<QList<QWidget *>, GroupCount> m_focusChains{};
    QCheckBox *m_dayTime = nullptr;
    QCheckBox *m_lightSensor = nullptr;
    ParameterDigits m_digits;
};

} // namespace kestrix
