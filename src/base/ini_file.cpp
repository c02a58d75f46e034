#include "base/ini_file.h"

#include "base/atomic_file.h"
#include "base/file_read.h"
#include "base/text_encoding.h"

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

// An INI file's lines as read for a write, with what added lines are made of.
struct Document {
    TextLines file;
    LineEncoding encoding = LineEncoding::Utf8;   // of added lines in an eight-bit file
    QByteArray lineEnd;                           // the file's first line end, else CR LF
};

QStringList textsOf(const TextLines &file)
{
    QStringList texts;
    texts.reserve(file.lines.size());
    for (const TextLine &line : file.lines)
        texts.append(line.text);
    return texts;
}

QByteArray firstLineEnd(const TextLines &file)
{
    for (const TextLine &line : file.lines) {
        if (!line.ending.isEmpty())
            return line.ending;
    }
    return encodeLine(QStringLiteral("\r\n"), file.form, LineEncoding::Utf8);
}

Document documentOf(const QByteArray &bytes)
{
    Document document;
    document.file = splitLines(bytes);
    document.encoding = prevailingEncoding(document.file);
    document.lineEnd = firstLineEnd(document.file);
    return document;
}

// A UTF-16 file cut in the middle of a character: any line added after it would be misaligned.
bool endsInHalfCharacter(const QByteArray &bytes, const TextLines &file)
{
    return file.form != TextForm::EightBit && bytes.size() % 2 != 0;
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

std::optional<QString> entriesProblem(const QList<IniEntry> &entries)
{
    for (const IniEntry &entry : entries) {
        if (auto problem = entriesProblem(entry.section, {{entry.key, entry.value}}))
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

// Inserts a line in the file's prevailing encoding. It takes the line end of the line before
// it, so a blank line after a lone CR is not read back as the second half of a CR LF.
void insertLine(Document &document, qsizetype at, const QString &text)
{
    QList<TextLine> &lines = document.file.lines;
    if (at > 0 && lines[at - 1].ending.isEmpty())
        lines[at - 1].ending = document.lineEnd;
    const QByteArray ending = at > 0 ? lines[at - 1].ending : document.lineEnd;
    const QByteArray content = encodeLine(text, document.file.form, document.encoding);
    lines.insert(at, {content, ending, decodeLine(content, document.file.form)});
}

// Replaces a line's text, in the line's own encoding (an ASCII line takes the file's).
void replaceLine(Document &document, qsizetype at, const QString &text)
{
    TextLine &line = document.file.lines[at];
    const LineEncoding encoding = isAscii(line.content) ? document.encoding : encodingOfLine(line, document.file.form);
    line.content = encodeLine(text, document.file.form, encoding);
    line.text = decodeLine(line.content, document.file.form);
}

// Where a new key of a section goes: after its last entry, ahead of the blank lines that
// separate it from the next section.
qsizetype endOfEntries(const QStringList &lines, int header)
{
    qsizetype at = sectionEnd(lines, header);
    while (at > header + 1 && lines[at - 1].trimmed().isEmpty())
        --at;
    return at;
}

void appendSection(Document &document, const QString &section, const QString &entry)
{
    const QList<TextLine> &lines = document.file.lines;
    if (!lines.isEmpty() && !lines.last().text.trimmed().isEmpty())
        insertLine(document, lines.size(), QString());
    insertLine(document, lines.size(), '[' + section + ']');
    insertLine(document, lines.size(), entry);
}

void setKey(Document &document, const QString &section, const QString &key, const QString &value)
{
    const QStringList lines = textsOf(document.file);
    const int header = findSection(lines, section);
    if (header < 0) {
        appendSection(document, section, key + '=' + value);
    } else if (const int line = findKey(lines, header, key); line >= 0) {
        const QString &old = lines[line];
        replaceLine(document, line, old.left(old.indexOf('=') + 1) + value);
    } else {
        insertLine(document, endOfEntries(lines, header), key + '=' + value);
    }
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
    const std::optional<QByteArray> bytes = readFileBytes(path);
    if (ok)
        *ok = bytes.has_value();
    return bytes ? decodeText(*bytes) : QString();
}

bool writeTextFileAtomically(const QString &path, const QString &text)
{
    return writeFileAtomically(path, text.toUtf8());
}

IniFile::IniFile(QString path, WriteOptions options) : m_path(std::move(path)), m_options(options) {}

IniSnapshot IniFile::snapshot() const
{
    return IniSnapshot(textsOf(splitLines(readFileBytesOrEmpty(m_path).value_or(QByteArray()))));
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

IniSnapshot::IniSnapshot(QStringList lines) : m_lines(std::move(lines))
{
    Section *current = nullptr;   // the section being indexed; none for a later one of the same name
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString trimmed = m_lines[i].trimmed();
        if (isSectionLine(trimmed)) {
            if (current)
                current->end = i;
            const QString name = sectionName(trimmed).toCaseFolded();
            current = nullptr;
            if (!m_sectionIndex.contains(name)) {
                m_sectionIndex.insert(name, int(m_sections.size()));
                current = &m_sections.emplaceBack(Section{i, int(m_lines.size()), {}});
            }
            continue;
        }
        const int equals = int(trimmed.indexOf('='));
        if (!current || isComment(trimmed) || equals <= 0)
            continue;
        const QString key = trimmed.left(equals).trimmed().toCaseFolded();
        if (!current->keys.contains(key))   // the first entry of a key wins
            current->keys.insert(key, i);
    }
}

const IniSnapshot::Section *IniSnapshot::find(const QString &section) const
{
    const auto found = m_sectionIndex.constFind(section.toCaseFolded());
    return found == m_sectionIndex.cend() ? nullptr : &m_sections[*found];
}

std::optional<QString> IniSnapshot::value(const QString &section, const QString &key) const
{
    const Section *found = find(section);
    const auto line = found ? found->keys.constFind(key.toCaseFolded()) : QHash<QString, int>::const_iterator();
    if (!found || line == found->keys.cend())
        return std::nullopt;
    const QString &entry = m_lines[*line];
    QString text = unquoted(entry.mid(entry.indexOf('=') + 1).trimmed()).left(IniFile::MaxValueLength);
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

QString IniSnapshot::read(const QString &section, const QString &key, const QString &fallback) const
{
    return value(section, key).value_or(fallback);
}

QStringList IniSnapshot::section(const QString &section) const
{
    const Section *found = find(section);
    QStringList entries;
    for (int i = found ? found->header + 1 : 0; found && i < found->end; ++i) {
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
    if (entries.isEmpty()) {
        const auto problem = entriesProblem(section, entries);
        return problem ? fail(error, *problem) : true;
    }
    QList<IniEntry> all;
    for (const auto &[key, value] : entries)
        all.append({section, key, value});
    return write(all, error);
}

bool IniFile::write(const QList<IniEntry> &entries, QString *error) const
{
    if (const auto problem = entriesProblem(entries))
        return fail(error, *problem);
    return update([&entries](const IniSnapshot &) { return IniChange::write(entries); }, error);
}

bool IniFile::update(const std::function<IniChange(const IniSnapshot &)> &decide, QString *error) const
{
    const FileWriteLock lock(m_path);
    if (!lock.locked())
        return fail(error, lock.error());
    // Read and written through one resolution of the path: a file that is there but cannot be
    // read is never replaced by the keys written.
    const FileChange change = [&](const QByteArray &bytes, QString &reason) -> std::optional<QByteArray> {
        Document document = documentOf(bytes);
        const IniChange decided = decide(IniSnapshot(textsOf(document.file)));
        if (decided.abandoned || decided.entries.isEmpty()) {
            reason = decided.abandoned.value_or(QString());
            return std::nullopt;
        }
        if (const auto problem = entriesProblem(decided.entries)) {
            reason = *problem;
            return std::nullopt;
        }
        if (endsInHalfCharacter(bytes, document.file)) {
            reason = QStringLiteral("%1 ends in the middle of a UTF-16 character").arg(m_path);
            return std::nullopt;
        }
        for (const IniEntry &entry : decided.entries)
            setKey(document, entry.section, entry.key, entry.value);
        return joinLines(document.file);
    };
    return rewriteFileAtomically(m_path, change, error, m_options);
}

bool IniFile::replaceWith(const QString &section, const QList<std::pair<QString, QString>> &entries,
                          QString *error) const
{
    if (const auto problem = entriesProblem(section, entries))
        return fail(error, *problem);
    const FileWriteLock lock(m_path);
    if (!lock.locked())
        return fail(error, lock.error());
    Document document = documentOf(QByteArray());
    for (const auto &[key, value] : entries)
        setKey(document, section, key, value);
    return writeFileAtomically(m_path, joinLines(document.file), error, m_options);
}

} // namespace kestrix
