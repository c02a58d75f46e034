#include "params/start_parameters.h"

#include "base/config_file.h"

namespace kestrix {

namespace {

struct StartKey {
    const char *key;
    ParamId field;
};

constexpr StartKey ViewKeys[] = {
    {"P6", ParamId::Th},
    {"P7", ParamId::Td},
};

} // namespace

std::vector<StartValue> readViewDurations()
{
    const IniSnapshot config = configFile().snapshot();
    std::vector<StartValue> values;
    for (const StartKey &view : ViewKeys) {
        if (const std::optional<QString> value = config.value(QStringLiteral("Parameters"), QLatin1String(view.key)))
            values.push_back({view.field, stripRule(*value)});
    }
    return values;
}

std::optional<int> viewSeconds(const QString &text)
{
    bool isNumber = false;
    const int seconds = text.toInt(&isNumber);
    return isNumber ? std::optional<int>(seconds) : std::nullopt;
}

} // namespace kestrix
