#include "params/ui/parameter_area.h"

#include "base/language.h"
#include "params/parameter_file.h"
#include "widgets/focused_wheel.h"
#include "widgets/localize.h"
#include "widgets/spin_edit.h"
#include "widgets/digital_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <span>

namespace kestrix {

namespace {

using P = ParamId;

// The labels beside a row's control, by the numbers the language tables know them by.
struct RowLabels {
    ParamId id;
    int code;                 // the row's code ("th"); 0 when the row shows none
    int caption;              // the caption; 0 when a check box carries it itself
    int note;                 // a second caption after the control; 0 when none
    const char *controlText;  // a check box's own text when its caption stands in a label
};

constexpr RowLabels Labels[] = {
    {P::Th, 1343, 1344, 0, nullptr},
    {P::Td, 1345, 1346, 0, nullptr},
    {P::Tt, 1347, 1348, 0, nullptr},
    {P::Ac, 1349, 1350, 0, nullptr},
    {P::Tp, 1352, 1353, 0, nullptr},
    {P::Pc, 1354, 1355, 0, nullptr},
    {P::HumidityView, 0, 1356, 0, nullptr},
    {P::HumidityCorrection, 0, 1357, 0, nullptr},
    {P::DaylightSaving, 1358, 1359, 0, nullptr},
    {P::HourMode, 0, 1360, 0, nullptr},
    {P::Fade, 1361, 1362, 0, "(checked=1)"},
    {P::Brightness, 0, 1363, 0, nullptr},
    {P::DisplayMode, 1364, 1365, 0, nullptr},
    {P::SerialProtocol, 0, 1366, 0, nullptr},
    {P::InactivityPeriod, 1367, 1368, 0, nullptr},
    {P::DeviceAddress, 1369, 1370, 0, nullptr},
    {P::ActiveAlarmProgram, 1371, 1372, 0, nullptr},
    {P::AlarmActivation, 0, 1373, 0, nullptr},
    {P::TimingHour, 0, 1393, 0, nullptr},
    {P::TimingMinute, 0, 1394, 0, nullptr},
    {P::TimingSecond, 0, 1395, 0, nullptr},
    {P::TimingTenth, 0, 1396, 0, nullptr},
    {P::SelfTimerMode, 1398, 1399, 0, nullptr},
    {P::Payment, 1400, 1401, 1402, nullptr},
    {P::LimitMinimum, 1403, 1404, 0, nullptr},
    {P::LimitMaximum, 1405, 1406, 0, nullptr},
    {P::SpeedDistance, 1407, 1408, 0, nullptr},
    {P::SpeedUnit, 1409, 1410, 0, nullptr},
    {P::Repeat, 1411, 1412, 0, nullptr},
    {P::DisplaytimeRacer, 1413, 1414, 0, nullptr},
    {P::DisplaytimeSpeed, 1415, 1416, 0, nullptr},
    {P::TimeZoneHour, 0, 1418, 0, nullptr},
    {P::TimeZoneMinute, 0, 1419, 0, nullptr},
};

// Captions of the byte-map fields "1", "1:", ... "8:", left to right.
constexpr int FirstByteCaption = 1376;
constexpr int DigitRowCaption = 1374;
constexpr int ByteRowCaption = 1375;

RowLabels labelsOf(ParamId id)
{
    const auto found = std::ranges::find(Labels, id, &RowLabels::id);
    if (found != std::end(Labels))
        return *found;
    if (id >= P::ByteMapFirst && id <= P::ByteMapLast)
        return {id, 0, FirstByteCaption + (int(id) - int(P::ByteMapFirst)), 0, nullptr};
    return {id, 0, 0, 0, nullptr};
}

// Where a row stands in its frame: grid row, and column block (code, caption, control).
struct Placement {
    ParamId id;
    int row;
    int column;
};

constexpr Placement ViewTimesRows[] = {{P::Th, 0, 0}, {P::Td, 1, 0}, {P::Tt, 2, 0}, {P::Ac, 2, 1}};
constexpr Placement WaterHumidityRows[] = {
    {P::Tp, 0, 0}, {P::Pc, 0, 1}, {P::HumidityView, 1, 0}, {P::HumidityCorrection, 1, 1}};
constexpr Placement P9Rows[] = {{P::DaylightSaving, 0, 0}, {P::HourMode, 1, 0}};
constexpr Placement A0Rows[] = {{P::Fade, 0, 0}, {P::Brightness, 1, 0}};
constexpr Placement A1Rows[] = {{P::DisplayMode, 0, 0}, {P::SerialProtocol, 1, 0}};
constexpr Placement A2Rows[] = {{P::InactivityPeriod, 0, 0}};
constexpr Placement A3Rows[] = {{P::DeviceAddress, 0, 0}};
constexpr Placement A4Rows[] = {{P::ActiveAlarmProgram, 0, 0}, {P::AlarmActivation, 1, 0}};
constexpr Placement SelfTimerRows[] = {
    {P::SelfTimerMode, 0, 0}, {P::Payment, 1, 0},      {P::LimitMinimum, 2, 0},
    {P::LimitMaximum, 3, 0},  {P::SpeedDistance, 4, 0}, {P::SpeedUnit, 5, 0},
    {P::Repeat, 6, 0},        {P::DisplaytimeRacer, 7, 0}, {P::DisplaytimeSpeed, 8, 0}};

enum class Style {
    Rows,      // code, caption and control (with its note) side by side, one row per parameter
    Strip,     // captions above the fields, check boxes after the last field
    ByteMap,   // the digit marks, then the sixteen captioned fields
};

} // namespace

struct FrameLayout {
    Group group;
    int caption;              // the frame's caption number; 0 for an uncaptioned frame
    const char *captionText;
    Style style;
    std::span<const Placement> rows;   // for Rows frames
    bool adjustBelow;                  // the Adjust button under the fields, not beside them
};

namespace {

constexpr int ViewTimesCaption = 1342;
constexpr int WaterHumidityCaption = 1351;

const FrameLayout Frames[] = {
    {Group::ViewTimes, ViewTimesCaption, "Views duration (seconds 0-99)", Style::Rows, ViewTimesRows, false},
    {Group::A0, 0, "", Style::Rows, A0Rows, false},
    {Group::P9, 0, "", Style::Rows, P9Rows, false},
    {Group::A1, 0, "", Style::Rows, A1Rows, false},
    {Group::A2, 0, "", Style::Rows, A2Rows, false},
    {Group::A3, 0, "", Style::Rows, A3Rows, false},
    {Group::A4, 0, "", Style::Rows, A4Rows, false},
    {Group::ByteMap, 0, "", Style::ByteMap, {}, true},
    {Group::SimpleTiming, 1392, "Simple Timing", Style::Strip, {}, false},
    {Group::SelfTimer, 1397, "Self Timer (1)", Style::Rows, SelfTimerRows, false},
    {Group::TimeZone, 1417, "Time Zone (1)", Style::Strip, {}, false},
};

constexpr int ColumnsPerBlock = 3;
constexpr int WrappedCaptionWidth = 170;
constexpr char WrapsWhenLong[] = "wrapsWhenLong";

// The parameter code beside a control, set off from the captions.
QLabel *codeLabel(int number, const QString &text, QWidget *parent)
{
    QLabel *label = numberedLabel(number, text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setForegroundRole(QPalette::Link);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("WW")));
    return label;
}

// A caption or note beside a control; wrapCaptions() makes it wrap when its text is long.
QLabel *wrappingLabel(int number, const QString &text, QWidget *parent)
{
    QLabel *label = numberedLabel(number, text, parent);
    label->setProperty(WrapsWhenLong, true);
    return label;
}

int fieldWidth(const QWidget *widget, int characters)
{
    return widget->fontMetrics().horizontalAdvance(QString(std::max(characters, 2), u'0')) + 10;
}

QLineEdit *plainEdit(const Parameter &row, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    setTypingLimit(edit, row.typingLimit);
    edit->setFixedWidth(fieldWidth(edit, row.typingLimit));
    edit->setAlignment(Qt::AlignCenter);
    return edit;
}

SpinEdit *newSpinEdit(const Parameter &row, QWidget *parent)
{
    auto *spin = new SpinEdit(parent);
    spin->setRange(row.minimum, row.maximum);
    spin->setTypingLimit(row.typingLimit);
    spin->edit()->setAlignment(Qt::AlignCenter);
    setControlNumber(spin->upDown(), row.spin);
    return spin;
}

QComboBox *listBox(QWidget *parent)
{
    auto *list = new QComboBox(parent);
    // As wide as the longest entry, so the closed list shows whichever entry is picked whole;
    // fixed, so a narrow window scrolls rather than cutting the entries.
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    list->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QObject::connect(list, &QComboBox::currentTextChanged, list, &QComboBox::setToolTip);
    takeWheelOnlyWhenFocused(list);
    return list;
}

// The frame's layout: its content, and the Adjust button at the top right or, for a wide
// frame, at the bottom right. Returns the layout the content goes into.
QVBoxLayout *frameWithAdjust(QGroupBox *frame, QPushButton *adjust, bool below)
{
    auto *content = new QVBoxLayout;
    if (below) {
        auto *layout = new QVBoxLayout(frame);
        layout->setContentsMargins(8, 6, 8, 6);
        layout->addLayout(content);
        layout->addWidget(adjust, 0, Qt::AlignRight);
        return content;
    }
    auto *side = new QVBoxLayout;
    side->addWidget(adjust);
    side->addStretch();
    auto *layout = new QHBoxLayout(frame);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addLayout(content);
    layout->addStretch();
    layout->addLayout(side);
    return content;
}

QGridLayout *newGrid()
{
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    return grid;
}

} // namespace

ParameterArea::ParameterArea(QWidget *window) : QObject(window)
{
    createControls(window);
    createBrightnessBoxes(window);
    createFrames(window);
}

void ParameterArea::createControls(QWidget *window)
{
    for (const Parameter &row : parameterTable()) {
        createControl(row, window);
        connectStoredDigit(row);
    }
    connect(spinEdit(P::Th), &SpinEdit::positionChanged, this, &ParameterArea::timeViewChanged);
    connect(spinEdit(P::Td), &SpinEdit::positionChanged, this, &ParameterArea::dateViewChanged);
}

void ParameterArea::createControl(const Parameter &row, QWidget *window)
{
    Control &control = m_controls[std::size_t(row.id)];
    switch (row.kind) {
    case ControlKind::Edit:
        if (row.spin != NoControl) {
            control.spin = newSpinEdit(row, window);
            control.edit = control.spin->edit();
            control.widget = control.spin;
        } else {
            control.edit = plainEdit(row, window);
            control.widget = control.edit;
        }
        setControlNumber(control.edit, row.control);
        break;
    case ControlKind::List:
        control.list = listBox(window);
        control.widget = control.list;
        setControlNumber(control.list, row.control);
        break;
    case ControlKind::CheckBox: {
        const char *text = labelsOf(row.id).controlText;
        control.box = new QCheckBox(QString::fromUtf8(text ? text : row.caption), window);
        control.widget = control.box;
        setControlNumber(control.box, row.control);
        break;
    }
    }
}

// A list pick or a box click changes the row's stored digit at once.
void ParameterArea::connectStoredDigit(const Parameter &row)
{
    const StoredDigit digit = row.digit;
    if (digit == StoredDigit::None || digit == StoredDigit::Br2)
        return;
    const Control &control = m_controls[std::size_t(row.id)];
    if (control.list)
        connect(control.list, &QComboBox::currentIndexChanged, this, [this, digit](int index) { m_digits.pickEntry(digit, index); });
    if (control.box)
        connect(control.box, &QCheckBox::toggled, this, [this, digit](bool ticked) { m_digits.tick(digit, ticked); });
}

void ParameterArea::createBrightnessBoxes(QWidget *window)
{
    m_dayTime = new QCheckBox(QStringLiteral("day time depending"), window);
    m_lightSensor = new QCheckBox(QStringLiteral("light sensor depending"), window);
    setControlNumber(m_dayTime, DayTimeBox);
    setControlNumber(m_lightSensor, LightSensorBox);
    connect(m_dayTime, &QCheckBox::toggled, this, [this](bool ticked) { clickBrightnessBox(true, ticked); });
    connect(m_lightSensor, &QCheckBox::toggled, this, [this](bool ticked) { clickBrightnessBox(false, ticked); });
}

void ParameterArea::clickBrightnessBox(bool dayTime, bool ticked)
{
    BrightnessState &brightness = m_digits.brightness();
    if (dayTime)
        brightness.tickDayTime(ticked);
    else
        brightness.tickLightSensor(ticked);
    showBrightness();
}

// The boxes and the Brightness field follow the brightness state.
void ParameterArea::showBrightness()
{
    const BrightnessState &brightness = m_digits.brightness();
    const QSignalBlocker dayTime(m_dayTime);
    const QSignalBlocker lightSensor(m_lightSensor);
    m_dayTime->setChecked(brightness.dayTimeTicked());
    m_lightSensor->setChecked(brightness.lightSensorTicked());
    spinEdit(P::Brightness)->setEnabled(brightness.fieldEnabled());
    if (const std::optional<QString> text = m_digits.takeBrightnessFieldText())
        setFieldText(P::Brightness, *text);
}

QLineEdit *ParameterArea::edit(ParamId id) const
{
    return control(id).edit;
}

QList<QWidget *> ParameterArea::controlsOfKey(const QString &key) const
{
    QList<QWidget *> controls;
    for (const Parameter &row : parameterTable()) {
        if (key == QLatin1String(row.fileKey) && control(row.id).widget && !controls.contains(control(row.id).widget))
            controls << control(row.id).widget;
    }
    return controls;
}

QList<QWidget *> ParameterArea::valueControls() const
{
    QList<QWidget *> controls{m_dayTime, m_lightSensor};
    for (const Control &c : m_controls) {
        for (QWidget *widget : std::initializer_list<QWidget *>{c.edit, c.list, c.box}) {
            if (widget)
                controls << widget;
        }
    }
    return controls;
}

QString ParameterArea::controlText(ParamId id) const
{
    const Control &c = control(id);
    if (c.edit)
        return c.edit->text();
    if (c.list)
        return c.list->currentIndex() < 0 ? QString() : QString::number(c.list->currentIndex());
    return c.box && c.box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

void ParameterArea::setFieldText(ParamId id, const QString &text)
{
    const Control &c = control(id);
    if (c.edit)
        c.edit->setText(text);
    if (c.list) {
        bool isIndex = false;
        const int index = text.toInt(&isIndex);
        c.list->setCurrentIndex(isIndex && index < c.list->count() ? index : -1);
    }
}

void ParameterArea::wrapCaptions()
{
    for (QGroupBox *frame : m_frames) {
        for (QLabel *label : frame->findChildren<QLabel *>()) {
            if (!label->property(WrapsWhenLong).toBool())
                continue;
            const bool wrap = label->fontMetrics().horizontalAdvance(label->text()) > WrappedCaptionWidth;
            label->setWordWrap(wrap);
            label->setMaximumWidth(wrap ? WrappedCaptionWidth : QWIDGETSIZE_MAX);
        }
    }
}

void ParameterArea::fillLists()
{
    for (const ParameterList &entries : listTable()) {
        const Parameter *row = parameterForControl(entries.control);
        QComboBox *list = row ? control(row->id).list : nullptr;
        if (!list)
            continue;
        const QSignalBlocker quiet(list);
        list->clear();
        for (int text : entries.strings) {
            const QString entry = LookupNumber(text);
            list->addItem(entry);
            list->setItemData(list->count() - 1, entry, Qt::ToolTipRole);
        }
        list->setToolTip(list->currentText());
    }
}

void ParameterArea::resetToStart()
{
    for (const Parameter &row : parameterTable()) {
        const Control &c = control(row.id);
        const QSignalBlocker quiet(c.widget);
        if (c.edit)
            c.edit->setText(QString::fromUtf8(row.startText));
        if (c.list)
            c.list->setCurrentIndex(c.list->count() > 0 ? 0 : -1);
        if (c.box)
            c.box->setChecked(false);
    }
    m_digits.reset();
    showBrightness();
}

void ParameterArea::showStoredDigits()
{
    for (const Parameter &row : parameterTable()) {
        if (row.digit == StoredDigit::None || row.digit == StoredDigit::Br2)
            continue;
        const Control &c = control(row.id);
        const QSignalBlocker quiet(c.widget);
        if (c.list)
            c.list->setCurrentIndex(m_digits.entryIndex(row.digit));
        if (c.box)
            c.box->setChecked(m_digits.ticked(row.digit));
    }
    showBrightness();
}

void ParameterArea::apply(const ParameterUpdate &update, Preview preview)
{
    for (const FieldValue &value : update.fields)
        setFieldText(value.field, value.text);
    applyDigits(update.digits);
    if (preview == Preview::Keep)
        return;
    const ViewDurations durations = viewDurationsOf(update);
    if (durations.time)
        Q_EMIT timeViewChanged(*durations.time);
    if (durations.date)
        Q_EMIT dateViewChanged(*durations.date);
}

void ParameterArea::applyDigits(const std::vector<DigitValue> &digits)
{
    for (const DigitValue &digit : digits)
        m_digits.setDigit(digit.digit, digit.value);
    showStoredDigits();
}

ParameterValues ParameterArea::values() const
{
    ParameterValues values;
    for (const Parameter &row : parameterTable())
        values.setText(row.id, controlText(row.id));
    values.digits() = m_digits;
    return values;
}

// ---------------------------------------------------------------------------------------------
// Frames

namespace {

// Puts a row's code, caption and control (with its note after it) into its column block.
void placeRow(QGridLayout *grid, const Parameter &row, const Placement &at, QWidget *control, QWidget *parent)
{
    const RowLabels labels = labelsOf(row.id);
    const int column = at.column * ColumnsPerBlock;
    if (labels.code)
        grid->addWidget(codeLabel(labels.code, QString::fromUtf8(row.code), parent), at.row, column);
    if (labels.caption)
        grid->addWidget(wrappingLabel(labels.caption, QString::fromUtf8(row.caption), parent), at.row, column + 1);
    if (!labels.note) {
        grid->addWidget(control, at.row, column + 2, Qt::AlignLeft);
        return;
    }
    // The note's template text is empty: the caption carries it until a language splits it off.
    auto *cell = new QWidget(parent);
    auto *line = new QHBoxLayout(cell);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(control);
    line->addWidget(wrappingLabel(labels.note, QString(), cell));
    line->addStretch();
    grid->addWidget(cell, at.row, column + 2);
}

// Field captions above the fields, left to right; check boxes after the last field.
void placeStrip(QGridLayout *grid, std::span<const Parameter> rows, const std::function<QWidget *(ParamId)> &widgetOf, QWidget *parent)
{
    int column = 0;
    for (const Parameter &row : rows) {
        if (row.kind == ControlKind::CheckBox)
            continue;
        const RowLabels labels = labelsOf(row.id);
        grid->addWidget(numberedLabel(labels.caption, QString::fromUtf8(row.caption), parent), 0, column, Qt::AlignHCenter);
        grid->addWidget(widgetOf(row.id), 1, column, Qt::AlignHCenter);
        ++column;
    }
    for (const Parameter &row : rows) {
        if (row.kind == ControlKind::CheckBox) {
            grid->setColumnMinimumWidth(column++, 8);
            grid->addWidget(widgetOf(row.id), 1, column++);
        }
    }
}

// A mark of the board's display in the byte-map row "Digit": a digit or the colon after it.
QLabel *displayMark(bool colon, QWidget *parent)
{
    auto *mark = new QLabel(colon ? QStringLiteral(":") : QStringLiteral("8"), parent);
    QFont font = clockFont();
    font.setPointSize(12);
    mark->setFont(font);
    mark->setAlignment(Qt::AlignCenter);
    return mark;
}

void placeByteMap(QGridLayout *grid, const std::function<QWidget *(ParamId)> &widgetOf, QWidget *parent)
{
    grid->setHorizontalSpacing(2);
    grid->addWidget(numberedLabel(DigitRowCaption, QStringLiteral("Digit"), parent), 0, 0);
    grid->addWidget(numberedLabel(ByteRowCaption, QStringLiteral("Byte in packet"), parent), 1, 0, 2, 1);
    int column = 1;
    for (const Parameter &row : byteMap()) {
        const bool colon = (column - 1) % 2 == 1;
        grid->addWidget(displayMark(colon, parent), 0, column, Qt::AlignHCenter);
        grid->addWidget(numberedLabel(labelsOf(row.id).caption, QString::fromUtf8(row.caption), parent), 1, column, Qt::AlignHCenter);
        grid->addWidget(widgetOf(row.id), 2, column, Qt::AlignHCenter);
        ++column;
    }
}

} // namespace

void ParameterArea::createFrames(QWidget *window)
{
    createAdjustButtons(window);
    for (const FrameLayout &layout : Frames)
        m_frames[std::size_t(layout.group)] = createFrame(layout, window);
}

void ParameterArea::createAdjustButtons(QWidget *window)
{
    for (const GroupInfo &info : groupTable()) {
        auto *adjust = new QPushButton(QStringLiteral("Adjust"), window);
        adjust->setAutoDefault(false);
        setControlNumber(adjust, info.adjustButton);
        const Group group = info.group;
        connect(adjust, &QPushButton::clicked, this, [this, group] { Q_EMIT adjustRequested(group); });
        m_adjust[std::size_t(group)] = adjust;
    }
}

QGroupBox *ParameterArea::createFrame(const FrameLayout &layout, QWidget *window)
{
    const auto widgetOf = [this](ParamId id) { return control(id).widget; };
    auto *frame = new QGroupBox(QString::fromUtf8(layout.captionText), window);
    if (layout.caption)
        setControlNumber(frame, layout.caption);
    QVBoxLayout *content = frameWithAdjust(frame, adjustButton(layout.group), layout.adjustBelow);
    QGridLayout *grid = newGrid();
    content->addLayout(grid);

    QList<QWidget *> &chain = m_focusChains[std::size_t(layout.group)];
    switch (layout.style) {
    case Style::Rows:
        for (const Placement &at : layout.rows) {
            placeRow(grid, parameter(at.id), at, widgetOf(at.id), frame);
            chain << focusTarget(at.id);
        }
        break;
    case Style::Strip: {
        const std::span<const Parameter> rows = groupParameters(layout.group);
        placeStrip(grid, rows, widgetOf, frame);
        // The fields left to right, then the boxes after the last field.
        for (bool boxes : {false, true}) {
            for (const Parameter &row : rows) {
                if ((row.kind == ControlKind::CheckBox) == boxes)
                    chain << focusTarget(row.id);
            }
        }
        break;
    }
    case Style::ByteMap:
        placeByteMap(grid, widgetOf, frame);
        for (const Parameter &row : byteMap())
            chain << focusTarget(row.id);
        break;
    }
    if (layout.group == Group::A0) {
        placeBrightnessBoxes(grid);
        chain << m_dayTime << m_lightSensor;
    }
    if (layout.group == Group::ViewTimes) {
        content->addWidget(waterHumidityFrame(frame));
        for (const Placement &at : WaterHumidityRows)
            chain << focusTarget(at.id);
    }
    chain << adjustButton(layout.group);
    return frame;
}

// The widget of a row in the Tab order: the control as the layout places it. A spin edit moves
// as a whole, its field taking the focus for it.
QWidget *ParameterArea::focusTarget(ParamId id) const
{
    return control(id).widget;
}

// "day time depending" and "light sensor depending" under the Brightness field.
void ParameterArea::placeBrightnessBoxes(QGridLayout *grid)
{
    auto *boxes = new QHBoxLayout;
    boxes->addWidget(m_dayTime);
    boxes->addWidget(m_lightSensor);
    boxes->addStretch();
    grid->addLayout(boxes, grid->rowCount(), 1, 1, ColumnsPerBlock - 1);
}

// The sub-group of the view durations that only some boards have.
QGroupBox *ParameterArea::waterHumidityFrame(QWidget *parent)
{
    auto *frame = new QGroupBox(QStringLiteral("Water Temperature / Humidity (1)"), parent);
    setControlNumber(frame, WaterHumidityCaption);
    QGridLayout *grid = newGrid();
    frame->setLayout(grid);
    for (const Placement &at : WaterHumidityRows)
        placeRow(grid, parameter(at.id), at, control(at.id).widget, frame);
    return frame;
}

} // namespace kestrix
