#include "params/parameter_values.h"

namespace kestrix {

namespace {

const QString Ticked = QStringLiteral("1");
const QString Unticked = QStringLiteral("0");

QString openingText(const Parameter &row)
{
    switch (row.kind) {
    case ControlKind::Edit:
        return QString::fromUtf8(row.startText);
    case ControlKind::List:
        return QStringLiteral("0");
    case ControlKind::CheckBox:
        return Unticked;
    }
    return {};
}

} // namespace

std::optional<UpdateMisfit> firstMisfit(const ParameterUpdate &update)
{
    for (const FieldValue &field : update.fields) {
        const Parameter &row = parameter(field.field);
        if (const Misfit misfit = fieldMisfit(row, field.text); misfit != Misfit::None)
            return UpdateMisfit{&row, StoredDigit::None, misfit};
    }
    for (const DigitValue &digit : update.digits) {
        if (const Misfit misfit = digitMisfit(digit.digit, digit.value); misfit != Misfit::None)
            return UpdateMisfit{parameterOfDigit(digit.digit), digit.digit, misfit};
    }
    return std::nullopt;
}

ParameterValues::ParameterValues()
{
    for (const Parameter &row : parameterTable())
        m_texts[std::size_t(row.id)] = openingText(row);
}

void ParameterValues::setText(ParamId id, const QString &text)
{
    m_texts[std::size_t(id)] = text;
    const Parameter &row = parameter(id);
    if (row.digit == StoredDigit::None || row.digit == StoredDigit::Br2)
        return;
    if (row.kind == ControlKind::List) {
        bool isIndex = false;
        const int index = text.toInt(&isIndex);
        m_digits.pickEntry(row.digit, isIndex ? index : -1);
    } else if (row.kind == ControlKind::CheckBox) {
        m_digits.tick(row.digit, text == Ticked);
    }
}

QString ParameterValues::encoded(ParamId id) const
{
    const Parameter &row = parameter(id);
    return encodeField(row.encoding, m_digits.valueText(row, text(id)));
}

QString ParameterValues::encodedRegister(const Parameter &firstRow) const
{
    if (firstRow.encoding != Encoding::DigitPairFirst)
        return encoded(firstRow.id);
    return encoded(firstRow.id) + encoded(ParamId(int(firstRow.id) + 1));
}

void ParameterValues::apply(const ParameterUpdate &update)
{
    for (const FieldValue &value : update.fields)
        m_texts[std::size_t(value.field)] = value.text;
    for (const DigitValue &digit : update.digits)
        m_digits.setDigit(digit.digit, digit.value);
    showStoredDigits();
}

void ParameterValues::showStoredDigits()
{
    for (const Parameter &row : parameterTable()) {
        if (row.digit == StoredDigit::None)
            continue;
        QString &shown = m_texts[std::size_t(row.id)];
        if (row.digit == StoredDigit::Br2) {
            if (const std::optional<QString> field = m_digits.takeBrightnessFieldText())
                shown = *field;
        } else if (row.kind == ControlKind::List) {
            const int index = m_digits.entryIndex(row.digit);
            shown = index < 0 ? QString() : QString::number(index);
        } else if (row.kind == ControlKind::CheckBox) {
            shown = m_digits.ticked(row.digit) ? Ticked : Unticked;
        }
    }
}

std::vector<DigitValue> changedDigits(const ParameterDigits &before, const ParameterDigits &after)
{
    std::vector<DigitValue> changes;
    for (int i = 0; i < StoredDigitCount; ++i) {
        const auto which = StoredDigit(i);
        // br digit 2 counts only while a box is ticked, and no operation changes it then.
        if (which != StoredDigit::Br2 && before.digit(which) != after.digit(which))
            changes.push_back({which, after.digit(which)});
    }
    return changes;
}

} // namespace kestrix
