#include "base/board_comparison.h"

#include "base/config_file.h"
#include "base/ini_file.h"
#include "base/language.h"
#include "base/texts.h"

#include <algorithm>

namespace kestrix {

namespace {

const QString SettingsSection = QStringLiteral("Settings");
const QString VerifyKey = QStringLiteral("Verify");

} // namespace

QString comparisonSummary(const ItemComparison &comparison)
{
    if (comparison.equal())
        return LookupText(Text::CompareEqual);
    if (comparison.unanswered.empty())
        return LookupText(Text::CompareDiffers).arg(comparison.differing.size());
    return LookupText(Text::CompareUnanswered).arg(comparison.differing.size()).arg(comparison.unanswered.size());
}

QString readBackSummary(const std::vector<RegisterCheck> &checks)
{
    const auto differing = std::ranges::count_if(checks, &RegisterCheck::differs);
    if (differing == 0)
        return LookupText(Text::Verified).arg(checks.size());
    return LookupText(Text::NotVerified).arg(differing).arg(checks.size());
}

bool verifyAfterUpload()
{
    return configFile().read(SettingsSection, VerifyKey).trimmed() == QLatin1String("1");
}

bool storeVerifyAfterUpload(bool verify, QString *error)
{
    return configFile().write(SettingsSection, VerifyKey, verify ? QStringLiteral("1") : QStringLiteral("0"), error);
}

} // namespace kestrix
