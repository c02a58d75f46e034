// The language tables on arbitrary identifiers and strings files: loading never fails, every
// lookup gives a text, "?" exactly when the number has none, and the escapes \n and \t never
// survive into a text.

#include "base/language.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

using namespace kestrix;

namespace {

void writeAll(const QString &path, const std::string &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    static QTemporaryDir folder;
    const QDir dir(folder.path());
    FuzzedDataProvider data(bytes, size);
    const int first = data.ConsumeIntegralInRange(0, 6000);
    writeAll(dir.filePath(QStringLiteral("identifiers.ini")), "[Identifiers]\n" + data.ConsumeRandomLengthString(2000));
    writeAll(dir.filePath(QStringLiteral("lng_fuzz.ini")), "[Strings]\n" + data.ConsumeRemainingBytesAsString());
    LoadLanguage(QStringLiteral("fuzz"), folder.path());
    for (int number = first; number < first + 40; ++number) {
        const QString text = LookupNumber(number);
        if (text.isEmpty() || hasText(number) == text.startsWith('?'))
            std::abort();
        if (text.contains(QLatin1String("\\n")) && !text.contains(QLatin1String("\\\\")))
            std::abort();
    }
    return 0;
}
