#include "base/language.h"

#include "base/config_file.h"
#include "base/ini_file.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QReadWriteLock>
#include <algorithm>

namespace kestrix {
namespace {

struct Tables {
    QHash<QString, QString> nameOfNumber;   // number text -> symbolic name, first entry wins
    QHash<QString, QString> textOfName;     // symbolic name -> text, first entry wins
};

QReadWriteLock tablesLock;
Tables tables;

bool isSeparator(QChar ch)
{
    return ch == ' ' || ch == '\t' || ch == '=';
}

// The first run of characters other than blank, tab and "=" from `from` on; `end` is set to
// the position just after it.
QString nextRun(const QString &entry, int from, int *end)
{
    int start = from;
    while (start < entry.size() && isSeparator(entry[start]))
        ++start;
    int stop = start;
    while (stop < entry.size() && !isSeparator(entry[stop]))
        ++stop;
    *end = stop;
    return entry.mid(start, stop - start);
}

QString unescape(QString text)
{
    text.replace(QLatin1String("\\n"), QLatin1String("\n"));
    text.replace(QLatin1String("\\t"), QLatin1String("\t"));
    return text;
}

// The file of that name in `dir`, its name compared without regard to case, as file names are
// on the platform the language files come from ("Language=German" finds lng_german.ini). The
// exact name wins; without any match, the exact name (a missing file).
QString findFile(const QDir &dir, const QString &name)
{
    const QString exact = dir.filePath(name);
    if (QFileInfo::exists(exact))
        return exact;
    for (const QString &entry : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return exact;
}

QString identifiersFile(const QDir &dir)
{
    return findFile(dir, QStringLiteral("identifiers.ini"));
}

QString stringsFile(const QDir &dir, const QString &language)
{
    return findFile(dir, QStringLiteral("lng_%1.ini").arg(language));
}

QHash<QString, QString> readIdentifiers(const QString &path)
{
    QHash<QString, QString> result;
    for (const QString &entry : IniFile(path).section(QStringLiteral("Identifiers"))) {
        int end = 0;
        const QString name = nextRun(entry, 0, &end);
        const QString number = nextRun(entry, end, &end);
        if (!name.isEmpty() && !number.isEmpty() && !result.contains(number))
            result.insert(number, name);
    }
    return result;
}

QHash<QString, QString> readStrings(const QString &path)
{
    QHash<QString, QString> result;
    for (const QString &entry : IniFile(path).section(QStringLiteral("Strings"))) {
        int end = 0;
        const QString name = nextRun(entry, 0, &end);
        if (!name.isEmpty() && !result.contains(name))
            result.insert(name, unescape(entry.mid(end + 1)));
    }
    return result;
}

// The files are only read: their permissions stay as their owner set them.
Tables readTables(const QString &language, const QDir &dir)
{
    return {readIdentifiers(identifiersFile(dir)), readStrings(stringsFile(dir, language))};
}

// Whether the tables give at least one text: missing, unreadable or broken files give none.
bool hasTexts(const Tables &loaded)
{
    return std::ranges::any_of(loaded.nameOfNumber, [&loaded](const QString &name) {
        return !loaded.textOfName.value(name).isEmpty();
    });
}

void install(Tables loaded)
{
    QWriteLocker lock(&tablesLock);
    tables = std::move(loaded);
}

} // namespace

void LoadLanguage(const QString &language, const QString &folder)
{
    install(readTables(language, QDir(folder.isEmpty() ? dataDir() : folder)));
}

QString LoadLanguageOrShipped(const QString &language)
{
    QString folder = dataDir();
    Tables loaded = readTables(language, QDir(folder));
    if (!hasTexts(loaded)) {
        Tables shipped = readTables(language, QDir(shippedDataDir()));
        if (hasTexts(shipped)) {
            folder = shippedDataDir();
            loaded = std::move(shipped);
        }
    }
    install(std::move(loaded));
    return folder;
}

QString LookupNumber(int number)
{
    QReadLocker lock(&tablesLock);
    const auto name = tables.nameOfNumber.constFind(QString::number(number));
    if (name == tables.nameOfNumber.cend())
        return NoText;
    const auto text = tables.textOfName.constFind(*name);
    if (text == tables.textOfName.cend() || text->isEmpty())
        return NoText;
    return *text;
}

QString LookupText(TextId text)
{
    return LookupNumber(text.number);
}

QString numberOr(int number, const QString &builtIn)
{
    const QString text = LookupNumber(number);
    return text.startsWith('?') ? builtIn : text;
}

QString textOr(TextId text, const QString &builtIn)
{
    return numberOr(text.number, builtIn);
}

bool hasText(int number)
{
    return !LookupNumber(number).startsWith('?');
}

} // namespace kestrix
