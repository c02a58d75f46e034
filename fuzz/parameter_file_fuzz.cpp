// Arbitrary bytes loaded as a parameter file into a fresh window's values, saved, loaded into
// fresh values again and saved again, round after round:
// - loading any bytes gives values, without a crash;
// - a refused save says why and leaves no file;
// - when every value of a save reads back as written and A0 has both its digits, the values
//   loaded from that file save to the same bytes;
// - rounds reach a file that loads and saves to itself.
// A save does not always reproduce the file it came from after one round: the reader trims
// white space around a value and one pair of quotes, and the encoding of the written file may
// not carry a character of the read one (a lone UTF-16 surrogate), so such values shrink or
// change round by round (a value nested in quotes loses one pair each time). And A0 saved
// from an empty Brightness field is one character, which loads as both digits and saves as two.

#include "fuzz_support.h"
#include "base/config_file.h"
#include "params/parameter_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <optional>

using namespace kestrix;
using namespace kestrix::fuzz;

namespace {

// A value loses at most one pair of quotes a round, so 199 characters settle within this many.
constexpr int MostRounds = IniFile::MaxValueLength / 2 + 3;

// A fresh window's values with the file at `path` loaded into them.
ParameterValues loaded(const QString &path)
{
    QString error;
    const std::optional<ParameterUpdate> update = loadParameterFile(path, &error);
    check(update.has_value() && error.isEmpty());
    ParameterValues values;
    values.apply(*update);
    return values;
}

// Every entry Save wrote for `values` into the file at `path` reads back unchanged (an empty
// one as missing), and A0 has both digits.
bool savedExactly(const QString &path, const ParameterValues &values)
{
    const IniSnapshot file = IniFile(path).snapshot();
    for (const auto &[key, value] : parameterFileEntries(values)) {
        if (file.value(ParametersSection, key).value_or(QString()) != value)
            return false;
        if (key == QLatin1String("A0") && value.size() != 2)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    // config.ini lives elsewhere, so every save below replaces a whole file of its own.
    static QTemporaryDir dataDir;
    static QTemporaryDir folder;
    static const bool dataDirSet = (setDataDir(dataDir.path()), true);
    check(dataDirSet);
    const QDir dir(folder.path());
    const QString paths[] = {dir.filePath(QStringLiteral("one.ini")), dir.filePath(QStringLiteral("two.ini"))};
    writeAll(paths[0], QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(size)));

    // What the last round saved; nothing before the first save.
    std::optional<ParameterValues> previousValues;
    QByteArray previousBytes;
    for (int round = 0; round <= MostRounds; ++round) {
        const QString &from = paths[round % 2];
        const QString &to = paths[(round + 1) % 2];
        const ParameterValues values = loaded(from);
        QFile::remove(to);
        QString error;
        if (!saveParameterFile(to, values, &error)) {
            check(!previousValues && !error.isEmpty() && !QFile::exists(to));
            return 0;
        }
        const QByteArray saved = readAll(to);
        if (previousValues) {
            if (saved == previousBytes)
                return 0;
            check(!savedExactly(from, *previousValues));
        }
        previousValues = values;
        previousBytes = saved;
    }
    check(false);   // never settled
    return 0;
}
