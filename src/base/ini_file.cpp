#include "base/ini_file.h"

#include "base/atomic_file.h"
#include "base/text_encoding.h"

#include <QFile>
#include <limits>

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

// A value without its one pair of enclosing quotes, as the profile functions read it.
QString unquoted(const QString &value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// A line break or NUL would end the line early and start another one of the text's own.
std::optional<QString> forbiddenCharacter(const QString &text)
{
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')))
        return QStringLiteral("a line break");
    if (text.contains(QChar(0)))
        return QStringLiteral("a NUL character");
    return std::nullopt;
}

// Names are read without the blanks around them, so a name with such blanks is never found.
bool hasSurroundingSpace(const QString &name)
{
    return name != name.trimmed();
}

std::optional<QString> sectionProblem(const QString &section)
{
    if (section.trimmed().isEmpty())
        return QStringLiteral("the section name is empty");
    if (const auto character = forbiddenCharacter(section))
        return QStringLiteral("the section name contains ") + *character;
    if (hasSurroundingSpace(section))
        return QStringLiteral("the section name \"%1\" begins or ends with white space").arg(section);
    if (section.contains(QLatin1Char(']')))
        return QStringLiteral("the section name \"%1\" contains \"]\"").arg(section);
    return std::nullopt;
}

std::optional<QString> keyProblem(const QString &key)
{
    if (key.trimmed().isEmpty())
        return QStringLiteral("the key is empty");
    if (const auto character = forbiddenCharacter(key))
        return QStringLiteral("the key contains ") + *character;
    if (hasSurroundingSpace(key))
        return QStringLiteral("the key \"%1\" begins or ends with white space").arg(key);
    if (key.contains(QLatin1Char('=')))
        return QStringLiteral("the key \"%1\" contains \"=\"").arg(key);
    if (key.startsWith(QLatin1Char('[')))
        return QStringLiteral("the key \"%1\" starts with \"[\" and would read as a section").arg(key);
    if (isComment(key))
        return QStringLiteral("the key \"%1\" starts with \";\" and would read as a comment").arg(key);
    return std::nullopt;
}

std::optional<QString> valueProblem(const QString &key, const QString &value)
{
    if (const auto character = forbiddenCharacter(value))
        return QStringLiteral("the value of \"%1\" contains %2").arg(key, *character);
    return std::nullopt;
}

// Why these entries cannot be written so that they read back as they are, or nothing.
std::optional<QString> entriesProblem(const QString &section, const QList<std::pair<QString, QString>> &entries)
{
    if (const auto problem = sectionProblem(section))
        return problem;
    for (const auto &[key, value] : entries) {
        if (auto problem = keyProblem(key))
            return problem;
        if (auto problem = valueProblem(key, value))
            return problem;
    }
    return std::nullopt;
}

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

bool isAsciiDigit(QChar ch)
{
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

// Position of the first digit after the blanks and the sign that may lead a number.
qsizetype skipBlanksAndSign(const QString &text, bool *negative)
{
    qsizetype pos = 0;
    while (pos < text.size() && (text[pos] == QLatin1Char(' ') || text[pos] == QLatin1Char('\t')))
        ++pos;
    *negative = pos < text.size() && text[pos] == QLatin1Char('-');
    if (pos < text.size() && (text[pos] == QLatin1Char('-') || text[pos] == QLatin1Char('+')))
        ++pos;
    return pos;
}

} // namespace

std::optional<int> leadingNumber(const QString &text)
{
    bool negative = false;
    const qsizetype firstDigit = skipBlanksAndSign(text, &negative);
    // One more than the largest int: the magnitude of the smallest.
    constexpr qint64 Limit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 magnitude = 0;
    qsizetype pos = firstDigit;
    for (; pos < text.size() && isAsciiDigit(text[pos]); ++pos) {
        magnitude = magnitude * 10 + (text[pos].unicode() - u'0');
        if (magnitude > Limit)
            return std::nullopt;
    }
    if (pos == firstDigit || (!negative && magnitude == Limit))
        return std::nullopt;
    return int(negative ? -magnitude : magnitude);
}

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
    return writeFileAtomically(path, text.toUtf8());
}

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

IniFile::Document IniFile::load() const
{
    Document document;
    bool opened = false;
    QString text = readTextFile(m_path, &opened);
    document.readable = opened || !QFile::exists(m_path);
    document.byteOrderMark = text.startsWith(QChar(0xFEFF));
    if (document.byteOrderMark)
        text.remove(0, 1);
    // Each line keeps its own ending (CR LF, LF or CR), so a write changes only its own line.
    qsizetype begin = 0;
    while (begin < text.size()) {
        qsizetype stop = begin;
        while (stop < text.size() && text[stop] != '\n' && text[stop] != '\r')
            ++stop;
        qsizetype next = stop;
        if (next < text.size())
            next += (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
        document.lines.append(text.mid(begin, stop - begin));
        document.endings.append(text.mid(stop, next - stop));
        if (document.lineEnd.isEmpty())
            document.lineEnd = document.endings.last();
        begin = next;
    }
    if (document.lineEnd.isEmpty())
        document.lineEnd = QStringLiteral("\r\n");
    return document;
}

IniSnapshot IniFile::snapshot() const
{
    return IniSnapshot(load().lines);
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    return snapshot().value(section, key);
}

QString IniFile::read(const QString &section, const QString &key, const QString &fallback) const
{
    return snapshot().read(section, key, fallback);
}

QStringList IniFile::section(const QString &section) const
{
    return snapshot().section(section);
}

IniSnapshot::IniSnapshot(QStringList lines) : m_lines(std::move(lines)) {}

std::optional<QString> IniSnapshot::value(const QString &section, const QString &key) const
{
    const int header = findSection(m_lines, section);
    const int line = header < 0 ? -1 : findKey(m_lines, header, key);
    if (line < 0)
        return std::nullopt;
    const QString &entry = m_lines[line];
    QString found = unquoted(entry.mid(entry.indexOf('=') + 1).trimmed()).left(IniFile::MaxValueLength);
    if (found.isEmpty())
        return std::nullopt;
    return found;
}

QString IniSnapshot::read(const QString &section, const QString &key, const QString &fallback) const
{
    return value(section, key).value_or(fallback);
}

QStringList IniSnapshot::section(const QString &section) const
{
    const int header = findSection(m_lines, section);
    QStringList entries;
    if (header < 0)
        return entries;
    const int end = sectionEnd(m_lines, header);
    for (int i = header + 1; i < end; ++i) {
        const QString trimmed = m_lines[i].trimmed();
        if (!trimmed.isEmpty() && !isComment(trimmed))
            entries.append(trimmed);
    }
    return entries;
}

bool IniFile::write(const QString &section, const QString &key, const QString &value, QString *error) const
{
    return write(section, {{key, value}}, error);
}

bool IniFile::write(const QString &section, const QList<std::pair<QString, QString>> &entries, QString *error) const
{
    if (const auto problem = entriesProblem(section, entries))
        return fail(error, *problem);
    const FileWriteLock lock(m_path);
    if (!lock.locked()) {
        if (error)
            *error = lock.error();
        return false;
    }
    Document document = load();
    // A file that is there but cannot be read is never replaced by the one key written.
    if (!document.readable) {
        if (error)
            *error = QStringLiteral("cannot read %1").arg(m_path);
        return false;
    }
    for (const auto &[key, value] : entries)
        setKey(document, section, key, value);
    QString text = document.byteOrderMark ? QString(QChar(0xFEFF)) : QString();
    for (qsizetype i = 0; i < document.lines.size(); ++i)
        text += document.lines[i] + document.endings[i];
    return writeFileAtomically(m_path, text.toUtf8(), error);
}

void IniFile::insertLine(Document &document, qsizetype at, const QString &line)
{
    // The line before a new last line gets an ending if it had none.
    if (at > 0 && document.endings[at - 1].isEmpty())
        document.endings[at - 1] = document.lineEnd;
    document.lines.insert(at, line);
    document.endings.insert(at, document.lineEnd);
}

void IniFile::setKey(Document &document, const QString &section, const QString &key, const QString &value)
{
    QStringList &lines = document.lines;
    const int header = findSection(lines, section);
    if (header < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            insertLine(document, lines.size(), QString());
        insertLine(document, lines.size(), '[' + section + ']');
        insertLine(document, lines.size(), key + '=' + value);
    } else if (const int line = findKey(lines, header, key); line >= 0) {
        const QString &old = lines[line];
        lines[line] = old.left(old.indexOf('=') + 1) + value;
    } else {
        int insertAt = sectionEnd(lines, header);
        while (insertAt > header + 1 && lines[insertAt - 1].trimmed().isEmpty())
            --insertAt;
        insertLine(document, insertAt, key + '=' + value);
    }
}

} // namespace kestrix
