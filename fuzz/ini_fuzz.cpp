// The INI reader and writer on arbitrary file bytes and arbitrary section, key and value:
// - a refused write leaves the file byte for byte;
// - an accepted write keeps every other key's value, and every line other than the written one
//   keeps its bytes (a UTF-16 file is compared after decoding);
// - the written key reads back as the reading rules give it;
// - writing the same key again changes nothing.

#include "fuzz_support.h"
#include "base/ini_file.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

using namespace kestrix;
using namespace kestrix::fuzz;

namespace {

bool isUtf16(const QByteArray &bytes)
{
    return bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff");
}

// The file's lines without their line ends.
QList<QByteArray> linesOf(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype begin = 0;
    while (begin < bytes.size()) {
        qsizetype stop = begin;
        while (stop < bytes.size() && bytes[stop] != '\n' && bytes[stop] != '\r')
            ++stop;
        lines.append(bytes.mid(begin, stop - begin));
        qsizetype next = stop;
        if (next < bytes.size())
            next += bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n' ? 2 : 1;
        begin = next;
    }
    return lines;
}

// Every old line but at most one stands in the new file, in order, and at most three lines
// (a blank line, a section line and the key) are new.
void checkOtherLinesKept(const QByteArray &before, const QByteArray &after)
{
    const QList<QByteArray> old = linesOf(before);
    const QList<QByteArray> now = linesOf(after);
    qsizetype prefix = 0;
    while (prefix < old.size() && prefix < now.size() && old[prefix] == now[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < old.size() - prefix && suffix < now.size() - prefix
           && old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix])
        ++suffix;
    check(old.size() - prefix - suffix <= 1);
    check(now.size() - prefix - suffix <= 3);
}

// The section names of the file, as a reader finds them.
QStringList sectionNames(const QString &path)
{
    QStringList names;
    const QString text = readTextFile(path);
    for (const QString &line : text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith('[') && trimmed.contains(']'))
            names.append(trimmed.mid(1, trimmed.indexOf(']') - 1).trimmed());
    }
    return names;
}

QString keyOf(const QString &entry)
{
    return entry.left(entry.indexOf('=')).trimmed();
}

bool same(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct KeyValue {
    QString section;
    QString key;
    std::optional<QString> value;
};

// Every key of every section with its value, as the reader gives it.
std::vector<KeyValue> everyValue(const QString &path)
{
    const IniSnapshot snapshot = IniFile(path).snapshot();
    std::vector<KeyValue> values;
    for (const QString &section : sectionNames(path)) {
        for (const QString &entry : snapshot.section(section)) {
            if (entry.contains('='))
                values.push_back({section, keyOf(entry), snapshot.value(section, keyOf(entry))});
        }
    }
    return values;
}

// What reading back a written value gives.
std::optional<QString> readBack(const QString &value)
{
    QString text = value.trimmed();
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        text = text.mid(1, text.size() - 2);
    text = text.left(IniFile::MaxValueLength);
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

QString text(FuzzedDataProvider &data, std::size_t most)
{
    const std::string bytes = data.ConsumeRandomLengthString(most);
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    static QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("config.ini"));
    FuzzedDataProvider data(bytes, size);
    const QString section = text(data, 16);
    const QString key = text(data, 16);
    const QString value = text(data, 240);
    const std::string file = data.ConsumeRemainingBytesAsString();
    const QByteArray before(file.data(), qsizetype(file.size()));
    writeAll(path, before);

    const IniFile ini(path);
    const std::vector<KeyValue> valuesBefore = everyValue(path);
    QString error;
    if (!ini.write(section, key, value, &error)) {
        check(!error.isEmpty());
        check(readAll(path) == before);
        return 0;
    }
    const QByteArray after = readAll(path);
    if (!isUtf16(before))
        checkOtherLinesKept(before, after);
    check(ini.value(section, key) == readBack(value));
    for (const KeyValue &entry : valuesBefore) {
        if (same(entry.section, section) && same(entry.key, key))
            continue;
        if (ini.value(entry.section, entry.key) != entry.value)
            std::abort();
    }
    check(ini.write(section, key, value));
    check(readAll(path) == after);
    return 0;
}
