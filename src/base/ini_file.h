#pragma once
// INI files with the semantics of the Windows profile functions: section and key names are
// matched without regard to case, the first match wins, values are cut to 199 characters,
// a write keeps every other line of the file as it was, byte for byte, and replaces the file
// atomically. Lines are split and decoded one by one on the file's bytes (text_encoding.h): a
// changed line keeps its own encoding, an added one takes the file's prevailing encoding and
// the line end of the line before it; a UTF-16 file stays UTF-16.

#include "base/atomic_file.h"

#include <QHash>
#include <QString>
#include <QList>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

namespace kestrix {

// The lines of an INI file as read once; every lookup works on them without reading the file
// again. An index of sections and keys, built once with the snapshot, makes each lookup cost
// the same however long the file is.
class IniSnapshot {
public:
    explicit IniSnapshot(QStringList lines = {});

    QString read(const QString &section, const QString &key, const QString &fallback = {}) const;
    std::optional<QString> value(const QString &section, const QString &key) const;
    QStringList section(const QString &section) const;

private:
    // The first section of a name: its header line, one past its last line, and the line of
    // the first entry of each key, the names case-folded.
    struct Section {
        int header = 0;
        int end = 0;
        QHash<QString, int> keys;
    };
    const Section *find(const QString &section) const;

    QStringList m_lines;
    QList<Section> m_sections;
    QHash<QString, int> m_sectionIndex;   // case-folded name -> position in m_sections
};

// One key of one section, for writes that span several sections.
struct IniEntry {
    QString section;
    QString key;
    QString value;
};

// What IniFile::update() writes, decided from the file as read under its write lock.
struct IniChange {
    QList<IniEntry> entries;            // written in order, in one replacement of the file
    std::optional<QString> abandoned;   // set: nothing is written, update() fails with this reason

    static IniChange write(QList<IniEntry> entries) { return {std::move(entries), std::nullopt}; }
    static IniChange abandon(QString reason) { return {{}, std::move(reason)}; }
};

class IniFile {
public:
    static constexpr int MaxValueLength = 199;

    // `options` apply to every write of the file (see atomic_file.h).
    explicit IniFile(QString path, WriteOptions options = {});

    const QString &path() const { return m_path; }

    // The value of a key, or `fallback` when the key is absent or empty.
    QString read(const QString &section, const QString &key, const QString &fallback = {}) const;

    // The value of a key, or nothing when the key is absent or its value is empty.
    std::optional<QString> value(const QString &section, const QString &key) const;

    // Every "key=value" entry of a section in file order, whole (no length limit); lines
    // without "=" are kept as they stand. A missing file or section gives an empty list.
    QStringList section(const QString &section) const;

    // The file as it is now, for several lookups from one reading.
    IniSnapshot snapshot() const;

    // Writes one key; the file and section are created when missing. Returns false, with the
    // file untouched and the reason in *error, when the file could not be read or written, or
    // when the entry would not read back as written: a section, key or value holding a line
    // break or NUL, an empty section or key, one with white space around it, a section with
    // "]", a key with "=" or starting with "[" or ";".
    bool write(const QString &section, const QString &key, const QString &value, QString *error = nullptr) const;
    // Writes several keys of one section in one replacement of the file; nothing is written
    // when any of them is refused.
    bool write(const QString &section, const QList<std::pair<QString, QString>> &entries,
               QString *error = nullptr) const;

    // Writes keys of several sections, in order, in one replacement of the file; nothing is
    // written when any of them is refused.
    bool write(const QList<IniEntry> &entries, QString *error = nullptr) const;

    // Reads, decides and writes under one lock: takes the file's write lock, reads the file,
    // calls `decide` with that reading and writes the entries it returns in one atomic
    // replacement, so that no other writer's change falls between the reading and the write.
    // Returns false, with the file untouched and the reason in *error, when the lock cannot be
    // taken, the file is there but cannot be read, `decide` abandons (its reason), an entry is
    // refused as by write(), or the write fails. No entries: nothing is written, true.
    // `decide` runs while the lock is held: it must not write this file itself.
    bool update(const std::function<IniChange(const IniSnapshot &)> &decide, QString *error = nullptr) const;

    // Replaces the whole file by one section holding `entries`, in order, with the checks and
    // the atomic replacement of write(); nothing is written when any entry is refused.
    bool replaceWith(const QString &section, const QList<std::pair<QString, QString>> &entries,
                     QString *error = nullptr) const;

private:
    QString m_path;
    WriteOptions m_options;
};

// The leading decimal number of a value, as the profile functions read numbers: blanks, an
// optional sign, then digits up to the first non-digit ("2 ; COM3" is 2). Nothing when there
// are no digits or the number does not fit an int.
std::optional<int> leadingNumber(const QString &text);

// Reads a text file line by line, each line as UTF-8 when it is valid UTF-8, else as
// Windows-1252; a file with a UTF-16 byte order mark as UTF-16.
QString readTextFile(const QString &path, bool *ok = nullptr);

// Writes a text file as UTF-8 through a temporary file in the same folder that is then renamed
// over the original, so a failure never leaves a half-written file behind.
bool writeTextFileAtomically(const QString &path, const QString &text);

} // namespace kestrix
