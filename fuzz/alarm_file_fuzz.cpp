// Arbitrary bytes as the alarm dialog's files: up to the first NUL as alarms.txt (and that
// text 51 times over, to fill the programs), the rest as config.ini with the keys C1-C6 in
// [Parameters]. Each is read, written as Save writes it,
// read again and written again:
// - alarms.txt: each program keeps at most 50 lines and counts the p1 or p2 lines beyond them
//   as dropped; the slots hold the lines' fields trimmed, without a line break, the rest of the
//   slots stay free; the file written in the form read (UTF-16 with its mark, or 8-bit) keeps
//   that form, reads back as the filled slots packed to the top, none dropped, and writes to
//   the same bytes again. A first write differs from the file read in general: free slots (an
//   empty hour) are left out, other lines skipped, fields trimmed, line ends become CR CR LF.
//   A ";" in the type field stays in it (the type is the rest of the line), so it survives too.
//   The same text as UTF-16 (both byte orders, with the mark) and with every line end a lone CR
//   reads as the same programs. Inputs are mostly 8-bit text with LF ends; without these two
//   forms made from them the target never met a UTF-16 file or a lone CR, the two forms that
//   loaded as an empty file or as fields holding a CR.
// - C1-C6: a value read is one character or does not start with "0"; when every written entry
//   reads back exactly, the values and the entries of a second write are those of the first.
//   An entry does not read back when the reader takes one pair of quotes off its value ("x"
//   written is read as x), so such a value shrinks with each write until it has none left.
//   A value holding a line break or NUL is refused by the write, with a reason.

#include "fuzz_support.h"
#include "alarms/alarm_file.h"
#include "base/ini_file.h"
#include "base/text_encoding.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>

using namespace kestrix;
using namespace kestrix::fuzz;

namespace {

const QString Section = QStringLiteral("Parameters");
const QString Tags[AlarmProgramCount] = {QStringLiteral("p1"), QStringLiteral("p2")};

// The lines of `bytes` that name program `program`: a ";" and, before the first one, the tag
// with nothing but white space around it.
int taggedLines(const QByteArray &bytes, int program)
{
    int count = 0;
    for (const TextLine &line : splitLines(bytes).lines) {
        const qsizetype separator = line.text.indexOf(u';');
        count += separator >= 0 && line.text.left(separator).trimmed() == Tags[program];
    }
    return count;
}

bool plainField(const QString &field)
{
    return field == field.trimmed() && !field.contains(u'\r') && !field.contains(u'\n');
}

AlarmFileRead checkAlarmFile(const QByteArray &bytes)
{
    const AlarmFileRead read = parseAlarmFile(bytes);
    for (int program = 0; program < AlarmProgramCount; ++program) {
        const int lines = taggedLines(bytes, program);
        check(read.droppedLines[program] == std::max(0, lines - AlarmSlots));
        for (int slot = 0; slot < AlarmSlots; ++slot) {
            const AlarmEntry &entry = read.programs[program][slot];
            check(plainField(entry.hour) && plainField(entry.minute) && plainField(entry.type));
            check(!entry.hour.contains(u';') && !entry.minute.contains(u';'));
            check(slot < lines || entry == AlarmEntry{});
        }
    }

    const QByteArray written = formatAlarmFile(read.programs, read.form);
    const AlarmFileRead again = parseAlarmFile(written);
    check(again.dropped() == 0);
    check(again.form.form == read.form.form && again.form.byteOrderMark == read.form.byteOrderMark);
    for (int program = 0; program < AlarmProgramCount; ++program)
        check(again.programs[program] == packed(read.programs[program]));
    check(formatAlarmFile(again.programs, read.form) == written);
    return read;
}

// The text of an 8-bit file without a mark as UTF-16 with its mark, and with lone CR line ends:
// both read as the same programs.
void checkOtherForms(const QByteArray &bytes, const AlarmFileRead &read)
{
    if (!splitLines(bytes).byteOrderMark.isEmpty())
        return;
    const QString text = decodeText(bytes);
    for (const TextForm form : {TextForm::Utf16LittleEndian, TextForm::Utf16BigEndian}) {
        const QByteArray mark = form == TextForm::Utf16LittleEndian ? "\xFF\xFE" : "\xFE\xFF";
        check(checkAlarmFile(mark + encodeLine(text, form, LineEncoding::Utf8)).programs == read.programs);
    }
    QByteArray crOnly = bytes;
    crOnly.replace("\r\n", "\r").replace('\n', '\r');
    check(checkAlarmFile(crOnly).programs == read.programs);
}

// Every entry reads back from `file` as written (an empty one as empty).
bool readsBack(const IniSnapshot &file, const QList<std::pair<QString, QString>> &entries)
{
    return std::ranges::all_of(entries, [&](const auto &entry) { return file.read(Section, entry.first) == entry.second; });
}

void checkParameters(const QByteArray &bytes, const QDir &folder)
{
    const QString paths[] = {folder.filePath(QStringLiteral("read.ini")), folder.filePath(QStringLiteral("written.ini"))};
    writeAll(paths[0], bytes);
    const AlarmParameters read = alarmParametersOf(IniFile(paths[0]).snapshot());
    for (const QString &value : read)
        check(value.size() <= 1 || !value.startsWith(u'0'));

    const QList<std::pair<QString, QString>> entries = alarmParameterEntries(read);
    QFile::remove(paths[1]);
    QString error;
    if (!IniFile(paths[1]).replaceWith(Section, entries, &error)) {
        check(!error.isEmpty() && !QFile::exists(paths[1]));
        check(std::ranges::any_of(read, [](const QString &value) {
            return value.contains(u'\n') || value.contains(u'\r') || value.contains(QChar(0));
        }));
        return;
    }
    const IniSnapshot written = IniFile(paths[1]).snapshot();
    const AlarmParameters again = alarmParametersOf(written);
    if (readsBack(written, entries)) {
        check(again == read);
        check(alarmParameterEntries(again) == entries);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = bytes.indexOf('\0');
    const QByteArray alarmFile = split < 0 ? bytes : bytes.left(split);
    checkOtherForms(alarmFile, checkAlarmFile(alarmFile));
    // The same lines often enough to fill both programs and drop some.
    checkAlarmFile((alarmFile + '\n').repeated(AlarmSlots + 1));
    if (split >= 0)
        checkParameters(bytes.mid(split + 1), QDir(folder.path()));
    return 0;
}
