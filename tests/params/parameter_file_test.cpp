// Parameter files: what Save writes, what Load and the start-up read take, the ".ini" name rule,
// saving onto config.ini, and saves that cannot be written.
#include "support/process_support.h"
#include "support/test_support.h"

#include "base/config_file.h"
#include "params/parameter_file.h"

#include <QDir>
#include <QFile>
#include <sys/wait.h>
#include <unistd.h>
#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using P = ParamId;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Runs `body` in a forked child whose files may not grow beyond `bytes`, as on a full disk.
bool withFileSizeLimit(long long bytes, const std::function<bool()> &body)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        kt::fileSizeLimit(bytes)();
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ParameterFile : public ::testing::Test {
protected:
    ParameterValues loaded(const QString &path)
    {
        ParameterValues values;
        const std::optional<ParameterUpdate> update = loadParameterFile(path);
        EXPECT_TRUE(update.has_value()) << path.toStdString();
        if (update)
            values.apply(*update);
        return values;
    }

    kt::ScratchDataDir data;
};

TEST_F(ParameterFile, SaveWritesEveryKeyInOrderAndLoadReadsItBack)
{
    ParameterValues values;
    values.setText(P::Th, "5");
    values.setText(P::Td, "12");
    values.setText(P::Pc, "-3");
    values.setText(P::Ac, "4");
    values.digits().setDigit(StoredDigit::AcAuxiliary, "7");
    values.setText(P::DisplayMode, "10");
    values.setText(P::SerialProtocol, "2");
    values.setText(P::Brightness, "6");
    values.setText(P::ByteMapFirst, "5");
    const QString path = data.file("plant.ini");
    ASSERT_TRUE(saveParameterFile(path, values));
    EXPECT_EQ(readBytes(path), "[Parameters]\r\nP6=05\r\nP7=12\r\nP8=\r\nTP=\r\nPC=-30\r\nAC=47\r\nP9=00\r\nA0=06\r\n"
                               "A1=a2\r\nA2=\r\nA3=\r\nA4=00\r\nA5=5\r\nA6=00\r\nA7=00\r\nA8=00\r\nA9=00\r\nB0=00\r\n"
                               "B1=00\r\nB2=00\r\nB3=00\r\nB4=00\r\nB5=00\r\nB6=00\r\nB7=00\r\nB8=00\r\nB9=00\r\nC0=00\r\n");

    const ParameterValues back = loaded(path);
    EXPECT_EQ(back.text(P::Th), "5");
    EXPECT_EQ(back.text(P::Pc), "-3");
    EXPECT_EQ(back.digits().digit(StoredDigit::PcAuxiliary), "0");
    EXPECT_EQ(back.text(P::Ac), "4");
    EXPECT_EQ(back.digits().digit(StoredDigit::AcAuxiliary), "7");
    EXPECT_EQ(back.text(P::DisplayMode), "10");
    EXPECT_EQ(back.text(P::SerialProtocol), "2");
    EXPECT_EQ(back.text(P::Brightness), "6");
    EXPECT_EQ(back.text(P::ByteMapFirst), "5");
    EXPECT_EQ(parameterFileEntries(back), parameterFileEntries(values)) << "a second save writes the same";
}

TEST_F(ParameterFile, LoadChangesOnlyWhatTheFileHolds)
{
    ParameterValues values;
    values.setText(P::Th, "8");
    values.setText(P::DisplayMode, "3");
    const QString path = data.file("p9.ini");
    writeFile(path, "[parameters]\np9=21\nA0=0A\nP6=\n");
    values.apply(*loadParameterFile(path));
    EXPECT_EQ(values.text(P::DaylightSaving), "2");
    EXPECT_EQ(values.text(P::HourMode), "1");
    EXPECT_TRUE(values.digits().brightness().dayTimeTicked());
    EXPECT_EQ(values.text(P::Th), "8") << "an empty key leaves its field";
    EXPECT_EQ(values.text(P::DisplayMode), "3");

    writeFile(path, "[Parameters]\nA0=17\nA1=f2\n");
    values.apply(*loadParameterFile(path));
    EXPECT_EQ(values.text(P::Fade), "1");
    EXPECT_EQ(values.text(P::Brightness), "7");
    EXPECT_FALSE(values.digits().brightness().dependent());
    EXPECT_EQ(values.text(P::DisplayMode), "") << "a digit beyond the list leaves it without a selection";
    EXPECT_EQ(values.digits().digit(StoredDigit::Se1), "f");

    QString error;
    EXPECT_FALSE(loadParameterFile(data.file("missing.ini"), &error));
    EXPECT_TRUE(error.contains("missing.ini")) << error.toStdString();
}

TEST_F(ParameterFile, IniIsAppendedOnlyWhenMissing)
{
    EXPECT_EQ(parameterFilePath("/tmp/plant"), "/tmp/plant.ini");
    EXPECT_EQ(parameterFilePath("/tmp/old.ini"), "/tmp/old.ini");
    EXPECT_EQ(parameterFilePath("/tmp/OLD.INI"), "/tmp/OLD.INI");
    EXPECT_EQ(parameterFilePath("/tmp/x.ini.bak"), "/tmp/x.ini.bak.ini");
}

TEST_F(ParameterFile, SavingOntoConfigIniKeepsEverythingButTheParameterKeys)
{
    data.writeConfig("[Settings]\nPort=3\nBaud=2\nLanguage=german\n[Parameters]\nC1=5\nP6=09\n[Time]\nNTPServer1=a\n");
    ParameterValues values;
    values.setText(P::Th, "7");
    ASSERT_TRUE(saveParameterFile(parameterFilePath(QDir(data.path()).filePath("config")), values));
    const IniSnapshot config = configFile().snapshot();
    EXPECT_EQ(config.read("Settings", "Port"), "3");
    EXPECT_EQ(config.read("Settings", "Language"), "german");
    EXPECT_EQ(config.read("Time", "NTPServer1"), "a");
    EXPECT_EQ(config.read("Parameters", "C1"), "5") << "the alarm keys stay";
    EXPECT_EQ(config.read("Parameters", "P6"), "07");
    EXPECT_EQ(config.read("Parameters", "C0"), "00");
}

TEST_F(ParameterFile, AFailedSaveLeavesTheOldFileAndSaysWhy)
{
    const QString path = data.file("kept.ini");
    writeFile(path, "[Parameters]\nP6=05\n");
    ParameterValues values;
    values.setText(P::Th, "7");
    EXPECT_TRUE(withFileSizeLimit(64, [&] {
        QString error;
        return !saveParameterFile(path, values, &error) && !error.isEmpty();
    })) << "a disk that fills up half-way fails the save";
    EXPECT_EQ(readBytes(path), "[Parameters]\nP6=05\n");
    EXPECT_EQ(QDir(data.path()).entryList({".kept*"}, QDir::Hidden | QDir::Files), QStringList())
        << "no temporary file stays";

    QString error;
    EXPECT_FALSE(saveParameterFile(data.file("no-such-folder/x.ini"), values, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(ParameterFile, StartUpReadTakesItsKeysOnly)
{
    data.writeConfig("[Parameters]\nP6=05\nTP=07\nPC=-30\nA1=a2\n");
    ParameterValues values;
    values.apply(readStartParameters());
    EXPECT_EQ(values.text(P::Th), "5");
    EXPECT_EQ(values.text(P::Tp), "");
    EXPECT_EQ(values.text(P::Pc), "");
    EXPECT_EQ(values.text(P::DisplayMode), "10");
    const ViewDurations durations = viewDurationsOf(readStartParameters());
    EXPECT_EQ(durations.time, 5);
    EXPECT_FALSE(durations.date);
}

} // namespace
