// Daynight.txt: the place list, a place's keys, and Save with its name rules, read-only files
// and failed writes.
#include "support/process_support.h"
#include "support/test_support.h"

#include "daynight/location_file.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
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

// The board shows Windows-1252 codes: a name with other characters would arrive as "?".
TEST_F(LocationFile, NamesWithCharactersTheBoardCannotShowAreRefusedNamingThem)
{
    struct Row {
        const char *name;
        const char *missing;   // empty: saved
    };
    const Row rows[] = {
        {"Zürich", ""}, {"Kraków", ""}, {"€uro", ""}, {"Wh?", ""},
        {"東京", "東 京"}, {"Tōkyō", "ō"}, {"Sol😀", "😀"},
    };
    for (const Row &row : rows) {
        write(TwoPlaces);
        LocationRecord record = paris();
        record.name = QString::fromUtf8(row.name);
        const QString missing = QString::fromUtf8(row.missing);
        QString error;
        EXPECT_EQ(saveLocation(record, "20", &error), missing.isEmpty()) << row.name << error.toStdString();
        EXPECT_EQ(boardCodeProblem(record.name).isEmpty(), missing.isEmpty()) << row.name;
        if (missing.isEmpty()) {
            EXPECT_EQ(loadLocationList().names.value(2), record.name) << row.name;
            continue;
        }
        EXPECT_TRUE(error.endsWith("cannot show: " + missing)) << error.toStdString();
        EXPECT_EQ(bytes(), TwoPlaces) << row.name;
    }
}

// Each saver decides its slot from the file as read under the write lock: none overwrites a
// place another one added meanwhile.
TEST_F(LocationFile, ConcurrentSaversEachKeepTheirPlace)
{
    write(TwoPlaces);
    constexpr int Savers = 6;
    constexpr int PlacesEach = 4;
    std::fflush(nullptr);
    std::vector<pid_t> children;
    for (int saver = 0; saver < Savers; ++saver) {
        const pid_t child = ::fork();
        if (child == 0) {
            bool saved = true;
            for (int place = 0; place < PlacesEach; ++place) {
                LocationRecord record = paris();
                record.name = QStringLiteral("P%1-%2").arg(saver).arg(place);
                saved = saveLocation(record, "20") && saved;
            }
            ::_exit(saved ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "every save succeeds";
    }
    const QStringList names = loadLocationList().names;
    EXPECT_EQ(names.size(), 2 + Savers * PlacesEach);
    for (int saver = 0; saver < Savers; ++saver) {
        for (int place = 0; place < PlacesEach; ++place)
            EXPECT_EQ(names.count(QStringLiteral("P%1-%2").arg(saver).arg(place)), 1) << saver << place;
    }
    EXPECT_EQ(names.mid(0, 2), (QStringList{"Vienna", "Oslo"}));
}

// Something in the place of Daynight.txt that cannot be read is not a file without places; a
// missing file is.
TEST_F(LocationFile, WhatCannotBeReadSaysWhyAndAMissingFileHasNoPlaces)
{
    struct Row {
        const char *what;
        std::function<void(const QString &)> place;
        const char *reason;   // empty: read as no places
    };
    const Row rows[] = {
        {"missing", [](const QString &) {}, ""},
        {"folder", [](const QString &path) { QDir().mkdir(path); }, "it is a folder"},
        {"dangling link", [](const QString &path) { QFile::link(path + ".gone", path); }, "a link to the missing"},
        {"unreadable", [](const QString &path) {
             kt::writeBytes(path, "[Location Settings]\nLocations=1\nLocation1=Graz\n");
             ::chmod(QFile::encodeName(path).constData(), 0);
         }, "Permission denied"},
    };
    // The unreadable file is read as an ordinary user (root reads any file): the folder lets it in.
    ::chmod(QFile::encodeName(data.path()).constData(), 0755);
    for (const Row &row : rows) {
        const QString path = locationFilePath();
        QFile::remove(path);
        QDir().rmdir(path);
        row.place(path);
        const bool asUser = kt::asOrdinaryUser([&] {
            QString error;
            const std::optional<IniSnapshot> file = readLocationFile(path, &error);
            EXPECT_EQ(file.has_value(), QString(row.reason).isEmpty()) << row.what;
            if (file)
                EXPECT_TRUE(locationListOf(*file).names.isEmpty()) << row.what;
            else
                EXPECT_TRUE(error.startsWith(path + ": ") && error.contains(row.reason)) << error.toStdString();
        });
        EXPECT_TRUE(asUser) << row.what;
    }
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
