// Daynight.txt: the place list, a place's keys, and Save with its name rules, read-only files
// and failed writes.
#include "support/process_support.h"
#include "support/test_support.h"

#include "daynight/location_file.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrix;
namespace kt = kestrix::testing;

namespace {

const QByteArray TwoPlaces = "[Location Settings]\r\nLocations=2\r\nLocation1=Vienna\r\nLocation2=Oslo\r\n"
                             "[Minimal Brightness]\r\nBrightness=20\r\n"
                             "[Vienna]\r\nLatitude=48.2\r\nTimezone=+1\r\nJanuary Rise=0745\r\nDecember End=1700\r\n"
                             "[Notes]\r\nkeep=this\r\n";

class LocationFile : public ::testing::Test {
protected:
    void write(const QByteArray &bytes)
    {
        QFile file(locationFilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QByteArray bytes() const
    {
        QFile file(locationFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    LocationRecord paris() const
    {
        LocationRecord record;
        record.name = "Paris";
        record.timeZone = "+1";
        record[DayTime::Rise][0] = "0840";
        record[DayTime::End][11] = "1650";
        return record;
    }

    kt::ScratchDataDir data;
};

TEST_F(LocationFile, TheShippedSampleHoldsTwoCompletePlaces)
{
    const LocationList list = loadLocationList();
    EXPECT_EQ(list.names, (QStringList{"Vienna", "Oslo"}));
    EXPECT_EQ(list.brightness, "20");
    for (int slot : {1, 2}) {
        const LocationRecord place = loadLocation(slot);
        for (const MonthTimes &times : place.times) {
            for (const QString &time : times)
                EXPECT_EQ(time.size(), 4) << place.name.toStdString();
        }
    }
}

TEST_F(LocationFile, ListAndPlacesReadAsTheFileHoldsThem)
{
    write("[Location Settings]\nLocation1=Vienna\n");
    EXPECT_TRUE(loadLocationList().names.isEmpty()) << "no Locations key, no places";

    write("[location settings]\nLOCATIONS=3\nLocation1=Vienna\nLocation3=Graz\n[Minimal Brightness]\nBrightness=15\n"
          "[VIENNA]\nJanuary Rise=0745\nLatitude=48.2\n");
    const LocationList list = loadLocationList();
    EXPECT_EQ(list.names, (QStringList{"Vienna", "", "Graz"}));
    EXPECT_EQ(list.brightness, "15");
    const LocationRecord vienna = loadLocation(1);
    EXPECT_EQ(vienna.name, "Vienna");
    EXPECT_EQ(vienna.latitude, "48.2");
    EXPECT_EQ(vienna[DayTime::Rise][0], "0745");
    EXPECT_EQ(vienna[DayTime::Set][0], "") << "a missing January Set";
    EXPECT_EQ(slotOfName(list, "vienna"), 1);
    EXPECT_EQ(slotOfName(list, "Vie"), 0);

    write("[Location Settings]\nLocations=2000000000\n");
    EXPECT_EQ(loadLocationList().names.size(), 999) << "a hand-edited count is not followed into the billions";

    QFile::remove(locationFilePath());
    EXPECT_TRUE(loadLocationList().names.isEmpty());
    EXPECT_EQ(loadLocation(1), LocationRecord{});
}

TEST_F(LocationFile, SavingANewPlaceAddsItsSlotAndItsFiftyOneKeys)
{
    write(TwoPlaces);
    QString error;
    ASSERT_TRUE(saveLocation(paris(), "30", &error)) << error.toStdString();
    const IniSnapshot file = IniFile(locationFilePath()).snapshot();
    EXPECT_EQ(file.read("Location Settings", "Location3"), "Paris");
    EXPECT_EQ(file.read("Location Settings", "Locations"), "3");
    EXPECT_EQ(file.read("Minimal Brightness", "Brightness"), "30");
    const QStringList section = file.section("Paris");
    EXPECT_EQ(section.size(), 51);
    EXPECT_EQ(section.first(), "Latitude=");
    EXPECT_EQ(section[3], "January Rise=0840");
    EXPECT_EQ(section[4], "January Set=");
    EXPECT_EQ(section[27], "January Begin=");
    EXPECT_EQ(section.last(), "December End=1650");
    EXPECT_EQ(file.read("Notes", "keep"), "this") << "other sections stay";
    EXPECT_EQ(loadLocation(3), paris());
}

TEST_F(LocationFile, ANameMatchesItsSlotExactlyIgnoringCase)
{
    write(TwoPlaces);
    LocationRecord vie = paris();
    vie.name = "Vie";
    ASSERT_TRUE(saveLocation(vie, "20"));
    EXPECT_EQ(loadLocationList().names, (QStringList{"Vienna", "Oslo", "Vie"})) << "a prefix is another place";

    LocationRecord vienna = paris();
    vienna.name = "vienna";
    ASSERT_TRUE(saveLocation(vienna, "20"));
    EXPECT_EQ(loadLocationList().names, (QStringList{"vienna", "Oslo", "Vie"}));
    EXPECT_EQ(loadLocation(1)[DayTime::Rise][0], "0840") << "the keys went into the section Vienna";
    EXPECT_EQ(IniFile(locationFilePath()).snapshot().section("Vienna").size(), 51);
}

TEST_F(LocationFile, NamesThatWouldBreakTheFileAreRefused)
{
    write(TwoPlaces);
    for (const char *name : {"Wi]en", "Linz\nX", "=Graz", "", " Graz", "\"Graz\"", "'Linz'", "Gr\tz"}) {
        LocationRecord record = paris();
        record.name = name;
        QString error;
        EXPECT_FALSE(saveLocation(record, "20", &error)) << name;
        EXPECT_FALSE(error.isEmpty()) << name;
    }
    EXPECT_EQ(bytes(), TwoPlaces);
}

TEST_F(LocationFile, AReadOnlyFileIsMadeWritableAndAFailedWriteChangesNothing)
{
    write(TwoPlaces);
    QFile::setPermissions(locationFilePath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    ASSERT_TRUE(saveLocation(paris(), "25"));
    EXPECT_TRUE(QFile::permissions(locationFilePath()) & QFileDevice::WriteOwner);
    EXPECT_EQ(loadLocationList().names.size(), 3);

    const QByteArray before = bytes();
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        kt::fileSizeLimit(64)();
        LocationRecord record = paris();
        record.name = "Rome";
        QString error;
        ::_exit(!saveLocation(record, "25", &error) && !error.isEmpty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a full disk fails the save";
    EXPECT_EQ(bytes(), before);
}

} // namespace
