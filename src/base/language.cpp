#include "base/language.h"

#include "base/config_file.h"
#include "base/ini_file.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QReadWriteLock>

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

// Clears a read-only or hidden flag so the file can be read and maintained.
void makeNormal(const QString &path)
{
    QFile file(path);
    if (file.exists())
        file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
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

} // namespace

void LoadLanguage(const QString &language, const QString &folder)
{
    const QDir dir(folder.isEmpty() ? dataDir() : folder);
    const QString identifiersPath = dir.filePath(QStringLiteral("identifiers.ini"));
    const QString stringsPath = dir.filePath(QStringLiteral("lng_%1.ini").arg(language));
    makeNormal(identifiersPath);
    makeNormal(stringsPath);
    Tables loaded{readIdentifiers(identifiersPath), readStrings(stringsPath)};

    QWriteLocker lock(&tablesLock);
    tables = std::move(loaded);
}

QString LoadLanguageOrShipped(const QString &language)
{
    const auto hasTables = [&language](const QDir &dir) {
        return QFile::exists(dir.filePath(QStringLiteral("identifiers.ini")))
            && QFile::exists(dir.filePath(QStringLiteral("lng_%1.ini").arg(language)));
    };
    QString folder = dataDir();
    if (!hasTables(QDir(folder)) && hasTables(QDir(shippedDataDir())))
        folder = shippedDataDir();
    LoadLanguage(language, folder);
    return folder;
}

QString LookupText(int number)
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

QString textOr(int number, const QString &builtIn)
{
    const QString text = LookupText(number);
    return text.startsWith('?') ? builtIn : text;
}

bool hasText(int number)
{
    return !LookupText(number).startsWith('?');
}

} // namespace kestrix
