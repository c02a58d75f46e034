// alarms.txt and the keys C1-C6: the exact bytes a save writes, what a load takes from lines
// as people and editors write them, and saves that cannot be written.
#include "support/process_support.h"
#include "support/test_support.h"

#include "alarms/alarm_file.h"
#include "base/atomic_file.h"
#include "base/config_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::readBytes;
using kt::writeBytes;

namespace {



AlarmEntry entry(const char *hour, const char *minute, const char *type)
{
    return {hour, minute, type};
}

TEST(AlarmFile, SaveWritesFilledSlotsWithCrCrLfAndLoadGivesThemBack)
{
    AlarmPrograms programs{};
    programs[0][0] = entry("06", "30", "0");
    programs[0][1] = entry("12", "00", "1");
    programs[0][3] = entry("29", "", "");   // a gap above it: packed on save
    programs[1][0] = entry("7", "5", "1");
    const QByteArray bytes = formatAlarmFile(programs);
    EXPECT_EQ(bytes, "p1;06;30;0\r\r\np1;12;00;1\r\r\np1;29;;\r\r\np2;7;5;1\r\r\n");

    const AlarmFileRead back = parseAlarmFile(bytes);
    EXPECT_EQ(back.programs[0][2], entry("29", "", ""));
    EXPECT_EQ(back.programs[0][3], AlarmEntry{});
    EXPECT_EQ(back.programs[1][0], entry("7", "5", "1"));
    EXPECT_EQ(back.dropped(), 0);
    EXPECT_EQ(formatAlarmFile(back.programs), bytes);

    EXPECT_EQ(formatAlarmFile(AlarmPrograms{}), QByteArray()) << "two empty programs, an empty file";
    EXPECT_EQ(parseAlarmFile(QByteArray()).programs, AlarmPrograms{});
}

TEST(AlarmFile, LoadTakesLinesAsPeopleWriteThem)
{
    const QByteArray lf = "p2;08;15;1\np1;06;30;0\n";
    const QByteArray crlf = "p2;08;15;1\r\np1;06;30;0\r\n";
    EXPECT_EQ(parseAlarmFile(lf).programs, parseAlarmFile(crlf).programs);
    EXPECT_EQ(parseAlarmFile("\xEF\xBB\xBF" + lf).programs, parseAlarmFile(lf).programs)
        << "a byte order mark does not hide the first line";
    const AlarmFileRead read = parseAlarmFile(lf);
    EXPECT_EQ(read.programs[0][0], entry("06", "30", "0")) << "p2 lines before p1 lines";
    EXPECT_EQ(read.programs[1][0], entry("08", "15", "1"));
    EXPECT_EQ(formatAlarmFile(read.programs), "p1;06;30;0\r\r\np2;08;15;1\r\r\n");

    const AlarmFileRead odd = parseAlarmFile(" p1 ; 7 ; 5 ; 1 \nP1;01;01;1\nx;02;02;0\n\np1\np1;9\np1;10;11;1;extra\n");
    EXPECT_EQ(odd.programs[0][0], entry("7", "5", "1")) << "trimmed, not padded";
    EXPECT_EQ(odd.programs[0][1], entry("9", "", "")) << "a short line fills the fields it has";
    EXPECT_EQ(odd.programs[0][2], entry("10", "11", "1;extra")) << "the type is the rest of the line";
    EXPECT_EQ(odd.programs[0][3], AlarmEntry{}) << "P1, other tags, empty lines and a bare tag are skipped";
    EXPECT_TRUE(formatAlarmFile(odd.programs).startsWith("p1;7;5;1\r\r\n"));
}

TEST(AlarmFile, LinesBeyondFiftyAreCountedNotLoaded)
{
    QByteArray bytes;
    for (int i = 0; i < 53; ++i)
        bytes += "p2;" + QByteArray::number(i % 24) + ";00;0\n";
    bytes += "p1;05;00;1\n";
    const AlarmFileRead read = parseAlarmFile(bytes);
    EXPECT_EQ(filledSlots(read.programs[1]), 50);
    EXPECT_EQ(read.droppedLines, (std::array<int, 2>{0, 3}));
    EXPECT_EQ(read.programs[0][0], entry("05", "00", "1"));
}

// UTF-16 text of `text`, little or big end first, after its byte order mark.
QByteArray utf16(const QString &text, bool littleEndian)
{
    QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (QChar ch : text) {
        const char low = char(ch.unicode() & 0xff), high = char(ch.unicode() >> 8);
        bytes += littleEndian ? QByteArray{&low, 1} + QByteArray{&high, 1} : QByteArray{&high, 1} + QByteArray{&low, 1};
    }
    return bytes;
}

// Files as editors and other systems leave them: what is loaded, and what a rewrite of the same
// programs writes in the file's own form.
TEST(AlarmFile, OddFilesLoadTheirLinesAndAreRewrittenInTheirOwnForm)
{
    const QString twoLines = "p1;06;30;0\r\np2;07;45;1\r\n";
    const QString rewritten = "p1;06;30;0\r\r\np2;07;45;1\r\r\n";
    const AlarmEntry first = entry("06", "30", "0");
    struct Row {
        const char *name;
        QByteArray bytes;
        AlarmEntry p1;
        AlarmEntry p2;
        QByteArray written;
    } rows[] = {
        {"UTF-16 little-endian", utf16(twoLines, true), first, entry("07", "45", "1"), utf16(rewritten, true)},
        {"UTF-16 big-endian", utf16(twoLines, false), first, entry("07", "45", "1"), utf16(rewritten, false)},
        {"UTF-8 mark", "\xEF\xBB\xBFp1;06;30;0\np2;07;45;1\n", first, entry("07", "45", "1"),
         "\xEF\xBB\xBF" + rewritten.toLatin1()},
        {"Windows-1252", "p1;0\xB0;3\xE9;1\r\r\np2;07;45;1\r\r\n", entry("0\u00B0", "3\u00E9", "1"),
         entry("07", "45", "1"), "p1;0\xB0;3\xE9;1\r\r\np2;07;45;1\r\r\n"},
        {"UTF-8", "p1;0\xC2\xB0;30;0\np2;07;45;1\n", entry("0\u00B0", "30", "0"), entry("07", "45", "1"),
         "p1;0\xC2\xB0;30;0\r\r\np2;07;45;1\r\r\n"},
        {"CR line ends", "p1;06;30;0\rp2;07;45;1\r", first, entry("07", "45", "1"), rewritten.toLatin1()},
        {"a CR inside a line", "p1;08;00;0\rp1;09;00;1", entry("08", "00", "0"), AlarmEntry{},
         "p1;08;00;0\r\r\np1;09;00;1\r\r\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const AlarmFileRead read = parseAlarmFile(row.bytes);
        EXPECT_EQ(read.programs[0][0], row.p1);
        EXPECT_EQ(read.programs[1][0], row.p2);
        EXPECT_EQ(filledSlots(read.programs[0]) + filledSlots(read.programs[1]), 2) << "CR CR LF is one line end";
        EXPECT_EQ(formatAlarmFile(read.programs, read.form), row.written);
        EXPECT_EQ(alarmFileFormOf(row.written), read.form);
    }
}

class AlarmSaving : public ::testing::Test {
protected:
    kt::ScratchDataDir data;
};

TEST_F(AlarmSaving, ParametersGoToTheirCrossedKeysPaddedAndComeBackStripped)
{
    data.writeConfig("[Settings]\nPort=2\n[Parameters]\nP6=05\n");
    Alarms alarms;
    alarms.parameters = {"7", "0", "", "12", "5", "3"};   // C1, A1, P1, C2, A2, P2
    alarms.programs[0][2] = entry("06", "30", "0");
    const AlarmSave save = saveAlarms(alarms);
    ASSERT_TRUE(save.ok()) << save.error.toStdString();
    const IniSnapshot config = configFile().snapshot();
    EXPECT_EQ(config.read("Parameters", "C1"), "07");
    EXPECT_EQ(config.read("Parameters", "C2"), "00");
    EXPECT_EQ(config.read("Parameters", "C3"), "");
    EXPECT_EQ(config.read("Parameters", "C4"), "12");
    EXPECT_EQ(config.read("Parameters", "P6"), "05");
    EXPECT_EQ(config.read("Settings", "Port"), "2");
    EXPECT_EQ(readAlarmParameters(), (AlarmParameters{"7", "0", "", "12", "5", "3"}));
    EXPECT_EQ(alarms.programs[0][0], entry("06", "30", "0")) << "the lists show what was saved";
    EXPECT_EQ(readBytes(alarmFilePath()), "p1;06;30;0\r\r\n");

    data.writeConfig("[Parameters]\nC1=05\nC3=7\n");
    EXPECT_EQ(readAlarmParameters(), (AlarmParameters{"5", "", "7", "", "", ""}));
}

TEST_F(AlarmSaving, AFailedWriteKeepsTheOldFileAndTheProgramsAsTheyWere)
{
    writeBytes(alarmFilePath(), "p1;01;02;0\r\r\n");
    Alarms alarms;
    alarms.programs[0][1] = entry("06", "30", "0");
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        kt::fileSizeLimit(4)();
        const AlarmSave save = saveAlarms(alarms);
        ::_exit(!save.fileWritten && !save.error.isEmpty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the save reports the failed write";
    EXPECT_EQ(readBytes(alarmFilePath()), "p1;01;02;0\r\r\n");
    EXPECT_EQ(alarms.programs[0][1], entry("06", "30", "0")) << "the slots keep their places";
}

// A save writes both files or neither: each target that cannot be written stops it before the
// other is touched.
TEST_F(AlarmSaving, ASaveThatCannotWriteOneOfItsFilesWritesNeither)
{
    const QByteArray oldFile = "p1;01;02;0\r\r\n";
    const QString oldConfig = "[Parameters]\nC1=05\n";
    const auto alarmFile = [this] { return data.file("alarms.txt"); };
    struct Row {
        const char *name;
        std::function<void()> block;
        const char *reason;
    } rows[] = {
        {"read-only alarms.txt", [&] { QFile(alarmFile()).setPermissions(QFile::ReadOwner); }, "read-only"},
        {"alarms.txt a folder", [&] { QFile::remove(alarmFile()); QDir().mkdir(alarmFile()); }, "folder"},
        {"alarms.txt a dangling link",
         [&] { QFile::remove(alarmFile()); QFile::link(data.file("gone.txt"), alarmFile()); }, "alarms.txt"},
        {"config.ini a folder", [&] { QFile::remove(configFilePath()); QDir().mkdir(configFilePath()); }, "config.ini"},
        {"read-only config.ini", [&] { QFile(configFilePath()).setPermissions(QFile::ReadOwner); }, "read-only"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        data.writeConfig(oldConfig);
        writeBytes(alarmFile(), oldFile);
        row.block();
        const QByteArray config = readBytes(configFilePath());
        const QByteArray file = readBytes(alarmFile());
        Alarms alarms;
        alarms.parameters[0] = "7";
        alarms.programs[0][0] = entry("06", "30", "0");
        const AlarmSave save = saveAlarms(alarms);
        EXPECT_FALSE(save.fileWritten || save.parametersWritten);
        EXPECT_TRUE(save.error.contains(row.reason)) << save.error.toStdString();
        EXPECT_EQ(readBytes(configFilePath()), config);
        EXPECT_EQ(readBytes(alarmFile()), file);
        for (const QString &path : {alarmFile(), configFilePath()}) {
            QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
            if (QFileInfo(path).isDir())
                QDir().rmdir(path);
            QFile::remove(path);
        }
    }
}

TEST_F(AlarmSaving, AUtf16FileStaysUtf16AndAReaderTakesBothFilesFromOneSave)
{
    writeBytes(alarmFilePath(), utf16("p1;01;02;0\r\n", true));
    Alarms alarms;
    alarms.parameters[0] = "7";
    alarms.programs[1][0] = entry("06", "30", "1");
    ASSERT_TRUE(saveAlarms(alarms).ok());
    EXPECT_EQ(readBytes(alarmFilePath()), utf16("p2;06;30;1\r\r\n", true));

    // A save holds the alarm file's lock over both writes; a reader waits for it.
    auto lock = std::make_unique<FileWriteLock>(alarmFilePath());
    ASSERT_TRUE(lock->locked());
    StoredAlarms stored;
    std::thread reader([&stored] { stored = readStoredAlarms(); });
    writeBytes(alarmFilePath(), "p1;09;00;0\r\r\n");
    data.writeConfig("[Parameters]\nC1=03\n");
    lock.reset();
    reader.join();
    ASSERT_TRUE(stored.file);
    EXPECT_EQ(stored.parameters[0], "3");
    EXPECT_EQ(stored.file->programs[0][0], entry("09", "00", "0"));
}

} // namespace
