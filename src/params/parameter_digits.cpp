#include "params/parameter_digits.h"

#include <utility>

namespace kestrix {

namespace {

const QString Zero = QStringLiteral("0");
const QString Ticked = QStringLiteral("1");

} // namespace

void BrightnessState::tickDayTime(bool ticked)
{
    m_dayTime = ticked;
    if (ticked) {
        m_lightSensor = false;
        m_digit = QStringLiteral("A");
    }
}

void BrightnessState::tickLightSensor(bool ticked)
{
    m_lightSensor = ticked;
    if (ticked) {
        m_dayTime = false;
        m_digit = QStringLiteral("B");
    }
}

QString BrightnessState::digit(const QString &fieldText) const
{
    return dependent() ? m_digit : fieldText;
}

QString BrightnessState::takeDigit(const QString &fieldText)
{
    m_digit = digit(fieldText);
    return m_digit;
}

std::optional<QString> BrightnessState::applyDigit(QChar digit)
{
    switch (digit.toUpper().unicode()) {
    case u'A':
        tickDayTime(true);
        return std::nullopt;
    case u'B':
        tickLightSensor(true);
        return std::nullopt;
    default:
        m_dayTime = false;
        m_lightSensor = false;
        m_digit = QString(digit);
        return m_digit;
    }
}

void BrightnessState::reset()
{
    *this = BrightnessState();
}

ParameterDigits::ParameterDigits()
{
    reset();
}

const QString &ParameterDigits::digit(StoredDigit which) const
{
    if (which == StoredDigit::Br2)
        return m_brightness.storedDigit();
    if (which == StoredDigit::None)
        return Zero;
    return m_digits[std::size_t(which)];
}

void ParameterDigits::setDigit(StoredDigit which, const QString &digit)
{
    if (which == StoredDigit::Br2) {
        if (!digit.isEmpty())
            m_brightnessFieldText = m_brightness.applyDigit(digit.front());
        return;
    }
    if (which != StoredDigit::None)
        m_digits[std::size_t(which)] = digit;
}

std::optional<QString> ParameterDigits::takeBrightnessFieldText()
{
    return std::exchange(m_brightnessFieldText, std::nullopt);
}

void ParameterDigits::pickEntry(StoredDigit which, int index)
{
    const QString digit = digitForIndex(index);
    if (!digit.isEmpty())
        setDigit(which, digit);
}

int ParameterDigits::entryIndex(StoredDigit which) const
{
    const Parameter *row = parameterOfDigit(which);
    if (!row || row->kind != ControlKind::List)
        return -1;
    return listIndexForDigit(row->control, digit(which));
}

void ParameterDigits::tick(StoredDigit which, bool ticked)
{
    setDigit(which, ticked ? Ticked : Zero);
}

bool ParameterDigits::ticked(StoredDigit which) const
{
    return digit(which) == Ticked;
}

QString ParameterDigits::valueText(const Parameter &row, const QString &controlText) const
{
    if (row.digit == StoredDigit::Br2)
        return m_brightness.digit(controlText);
    if (row.digit != StoredDigit::None)
        return digit(row.digit);
    return controlText;
}

void ParameterDigits::reset()
{
    m_digits.fill(Zero);
    m_brightness.reset();
}

} // namespace kestrix
