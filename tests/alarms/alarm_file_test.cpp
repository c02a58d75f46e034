// alarms.txt and the keys C1-C6: the exact bytes a save writes, what a load takes from lines
// as people write them, and saves that cannot be written.
#include "support/process_support.h"
#include "support/test_support.h"

#include "alarms/alarm_file.h"
#include "base/config_file.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
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

    // A folder in the file's place: nothing is written, the slots keep their places.
    QDir(data.path()).mkdir("blocked.txt");
    const AlarmSave save = saveAlarms(alarms, data.file("blocked.txt"));
    EXPECT_FALSE(save.fileWritten);
    EXPECT_TRUE(save.parametersWritten);
    EXPECT_EQ(alarms.programs[0][1], entry("06", "30", "0"));
}

} // namespace
