#include "app/ini_file.h"

#include "app/text_encoding.h"

#include <QFile>
#include <QSaveFile>

namespace kestrix {
namespace {

bool isSectionLine(const QString &trimmed)
{
    return trimmed.startsWith('[') && trimmed.contains(']');
}

QString sectionName(const QString &trimmed)
{
    return trimmed.mid(1, trimmed.indexOf(']') - 1).trimmed();
}

bool isComment(const QString &trimmed)
{
    return trimmed.startsWith(';');
}

// Position of the first section line with this name, or -1.
int findSection(const QStringList &lines, const QString &section)
{
    for (int i = 0; i < lines.size(); ++i) {
        const QString trimmed = lines[i].trimmed();
        if (isSectionLine(trimmed) && sectionName(trimmed).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// One past the last line of the section that starts at `header`.
int sectionEnd(const QStringList &lines, int header)
{
    int end = header + 1;
    while (end < lines.size() && !isSectionLine(lines[end].trimmed()))
        ++end;
    return end;
}

// Position of the first line of the section holding this key, or -1.
int findKey(const QStringList &lines, int header, const QString &key)
{
    const int end = sectionEnd(lines, header);
    for (int i = header + 1; i < end; ++i) {
        const QString trimmed = lines[i].trimmed();
        const int equals = trimmed.indexOf('=');
        if (!isComment(trimmed) && equals > 0
            && trimmed.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString lineEndOf(const QByteArray &raw)
{
    return raw.isEmpty() || raw.contains("\r\n") ? QStringLiteral("\r\n") : QStringLiteral("\n");
}

} // namespace

QString readTextFile(const QString &path, bool *ok)
{
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    if (ok)
        *ok = opened;
    return opened ? decodeText(file.readAll()) : QString();
}

bool writeTextFileAtomically(const QString &path, const QString &text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

QStringList IniFile::readLines() const
{
    QString text = readTextFile(m_path);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const QStringList lines = readLines();
    const int header = findSection(lines, section);
    const int line = header < 0 ? -1 : findKey(lines, header, key);
    if (line < 0)
        return std::nullopt;
    const QString &entry = lines[line];
    QString found = entry.mid(entry.indexOf('=') + 1).trimmed().left(MaxValueLength);
    if (found.isEmpty())
        return std::nullopt;
    return found;
}

QString IniFile::read(const QString &section, const QString &key, const QString &fallback) const
{
    return value(section, key).value_or(fallback);
}

QStringList IniFile::section(const QString &section) const
{
    const QStringList lines = readLines();
    const int header = findSection(lines, section);
    QStringList entries;
    if (header < 0)
        return entries;
    const int end = sectionEnd(lines, header);
    for (int i = header + 1; i < end; ++i) {
        const QString trimmed = lines[i].trimmed();
        if (!trimmed.isEmpty() && !isComment(trimmed))
            entries.append(trimmed);
    }
    return entries;
}

bool IniFile::write(const QString &section, const QString &key, const QString &value) const
{
    QFile existing(m_path);
    const QByteArray raw = existing.open(QIODevice::ReadOnly) ? existing.readAll() : QByteArray();
    existing.close();
    QStringList lines = readLines();
    const QString entry = key + '=' + value;

    int header = findSection(lines, section);
    if (header < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QString());
        lines.append('[' + section + ']');
        lines.append(entry);
    } else if (const int line = findKey(lines, header, key); line >= 0) {
        const QString &old = lines[line];
        lines[line] = old.left(old.indexOf('=')).trimmed() + '=' + value;
    } else {
        int insertAt = sectionEnd(lines, header);
        while (insertAt > header + 1 && lines[insertAt - 1].trimmed().isEmpty())
            --insertAt;
        lines.insert(insertAt, entry);
    }
    const QString lineEnd = lineEndOf(raw);
    return writeTextFileAtomically(m_path, lines.join(lineEnd) + lineEnd);
}

} // namespace kestrix
