#include "params/start_parameters.h"

#include "base/config_file.h"

namespace kestrix {

namespace {

const QString ParametersSection = QStringLiteral("Parameters");

// Keys of parameter files that config.ini does not preset.
bool presetAtStart(const Parameter &row)
{
    const QLatin1String key(row.fileKey);
    return !key.isEmpty() && key != QLatin1String("TP") && row.encoding != Encoding::Signed;
}

// What one row takes from its key's value, by the rule its encoding implies.
void take(const Parameter &row, const QString &value, StartParameters &parameters)
{
    switch (row.encoding) {
    case Encoding::TwoDigit:
        parameters.fields.push_back({row.id, stripRule(value)});
        return;
    case Encoding::DigitPairFirst:
        parameters.digits.push_back({row.digit, pairRule(value).first});
        return;
    case Encoding::DigitPairSecond:
        parameters.digits.push_back({row.digit, pairRule(value).second});
        return;
    case Encoding::RawPair:
        parameters.fields.push_back({row.id, value});
        return;
    case Encoding::Signed:
    case Encoding::LastDigit:
        return;
    }
}

} // namespace

StartParameters startParametersOf(const IniSnapshot &file)
{
    StartParameters parameters;
    for (const Parameter &row : parameterTable()) {
        if (!presetAtStart(row))
            continue;
        if (const std::optional<QString> value = file.value(ParametersSection, QLatin1String(row.fileKey)))
            take(row, *value, parameters);
    }
    return parameters;
}

StartParameters readStartParameters()
{
    return startParametersOf(configFile().snapshot());
}

std::optional<int> viewSeconds(const QString &text)
{
    bool isNumber = false;
    const int seconds = text.toInt(&isNumber);
    return isNumber ? std::optional<int>(seconds) : std::nullopt;
}

} // namespace kestrix
