// Language tables: numbers map to names in identifiers.ini, names to texts in lng_<name>.ini.

#include "base/config_file.h"
#include "base/ini_file.h"
#include "base/language.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace kestrix;
using kestrix::testing::ScratchDataDir;
using kestrix::testing::writeBytes;

namespace {

constexpr int FirstMessage = 5000;
constexpr int LastMessage = 5107;

// A folder with an identifiers file and strings files written by the test.
class LanguageTablesTest : public ::testing::Test {
protected:
    void writeFile(const QString &name, const QByteArray &text) const
    {
        QFile file(m_dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    void writeTables(const QByteArray &identifiers, const QByteArray &strings) const
    {
        writeFile("identifiers.ini", "[Identifiers]\n" + identifiers);
        writeFile("lng_test.ini", "[Strings]\n" + strings);
    }

    void load(const QString &language = "test") const { LoadLanguage(language, m_dir.path()); }

    QTemporaryDir m_dir;
};

TEST_F(LanguageTablesTest, NumberToNameToText)
{
    writeTables("COMM_ERROR=5034\n", "COMM_ERROR=Verbindungsfehler!\n");
    load();
    EXPECT_EQ(LookupNumber(5034), "Verbindungsfehler!");
    EXPECT_TRUE(hasText(5034));
}

TEST_F(LanguageTablesTest, EscapesBecomeLineBreakAndTab)
{
    writeTables("TWO_LINES=5035\nTABBED=5036\n", "TWO_LINES=Check COM port\\nand Speed.\nTABBED=Port:\\tCOM3\n");
    load();
    EXPECT_EQ(LookupNumber(5035), "Check COM port\nand Speed.");
    EXPECT_EQ(LookupNumber(5035).split('\n').size(), 2);
    EXPECT_EQ(LookupNumber(5036), "Port:\tCOM3");
}

TEST_F(LanguageTablesTest, NumbersAndNamesMatchExactlyAndFirstEntryWins)
{
    writeTables("FIRST=5040\nSECOND=5040\nPADDED=05041\nlower=5042\n",
                "FIRST=first text\nSECOND=second text\nPADDED=padded text\nLOWER=upper-case name\n"
                "lower=lower-case name\nlower=repeated name\n");
    load();
    EXPECT_EQ(LookupNumber(5040), "first text");
    EXPECT_EQ(LookupNumber(5041), NoText);   // "05041" is not the text of 5041
    EXPECT_EQ(LookupNumber(5042), "lower-case name");
}

TEST_F(LanguageTablesTest, MissingEntriesGiveTheNoTextMarker)
{
    writeTables("NO_STRING=5050\nEMPTY_TEXT=5051\nNO_NUMBER\nHAS_TEXT=5052\n",
                "EMPTY_TEXT=\nNO_NUMBER=never reached\nHAS_TEXT=?marked\n");
    load();
    EXPECT_EQ(LookupNumber(5050), NoText);   // name without a strings entry
    EXPECT_EQ(LookupNumber(5051), NoText);   // strings entry without text
    EXPECT_EQ(LookupNumber(5099), NoText);   // number without an identifiers entry
    EXPECT_FALSE(hasText(5050));
    EXPECT_FALSE(hasText(5052));           // a text beginning with "?" counts as none
}

TEST_F(LanguageTablesTest, MissingFilesGiveNoTexts)
{
    writeTables("COMM_ERROR=5034\n", "COMM_ERROR=Verbindungsfehler!\n");
    load();
    ASSERT_EQ(LookupNumber(5034), "Verbindungsfehler!");

    load("klingon");   // no strings file: the old texts are dropped, not kept
    EXPECT_EQ(LookupNumber(5034), NoText);

    QTemporaryDir empty;
    LoadLanguage("english", empty.path());
    EXPECT_EQ(LookupNumber(5034), NoText);
    EXPECT_EQ(LookupNumber(102), NoText);
}

// Language names and file names match without regard to case, as on the platform the files
// come from: "German" finds lng_german.ini, and "test" finds LNG_Test.INI.
TEST_F(LanguageTablesTest, FilesAreFoundWithoutRegardToCase)
{
    writeFile("Identifiers.INI", "[Identifiers]\nCOMM_ERROR=5034\n");
    writeFile("lng_german.ini", "[Strings]\nCOMM_ERROR=Verbindungsfehler!\n");
    writeFile("LNG_Test.INI", "[Strings]\nCOMM_ERROR=Test error\n");
    load("German");
    EXPECT_EQ(LookupNumber(5034), "Verbindungsfehler!");
    load("test");
    EXPECT_EQ(LookupNumber(5034), "Test error");
}

TEST_F(LanguageTablesTest, AnExactNameWinsOverOthersThatDifferInCase)
{
    writeTables("COMM_ERROR=5034\n", "COMM_ERROR=exact\n");
    writeFile("LNG_TEST.ini", "[Strings]\nCOMM_ERROR=other case\n");
    load("test");
    EXPECT_EQ(LookupNumber(5034), "exact");
}

// Loading reads the files and leaves them as they are: a read-only file stays read-only, also
// behind a link.
TEST_F(LanguageTablesTest, LoadingLeavesThePermissionsAsTheyAre)
{
    writeTables("COMM_ERROR=5034\n", "COMM_ERROR=Verbindungsfehler!\n");
    QTemporaryDir elsewhere;
    const QString linked = elsewhere.filePath("strings.ini");
    ASSERT_TRUE(QFile::copy(m_dir.filePath("lng_test.ini"), linked));
    ASSERT_TRUE(QFile::link(linked, m_dir.filePath("lng_linked.ini")));
    const QString files[] = {m_dir.filePath("identifiers.ini"), m_dir.filePath("lng_test.ini"), linked};
    for (const QString &file : files)
        ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0444), 0);

    load("test");
    load("linked");

    EXPECT_EQ(LookupNumber(5034), "Verbindungsfehler!");
    for (const QString &file : files) {
        struct stat status {};
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0444u) << file.toStdString();
    }
}

TEST(LanguageBeforeLoading, EveryLookupGivesTheNoTextMarker)
{
    // A fresh process, so that no earlier test has loaded a language.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            bool allMissing = true;
            for (int number : {100, 102, 1004, 5034, 5036})
                allMissing = allMissing && LookupNumber(number) == NoText;
            std::exit(allMissing ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(LanguageTablesTest, LongSectionsAreReadWhole)
{
    QByteArray identifiers;
    QByteArray strings;
    for (int i = 0; i < 500; ++i) {
        identifiers += QStringLiteral("PADDING_ENTRY_WITH_A_RATHER_LONG_NAME_%1=%2\n").arg(i).arg(2000 + i).toUtf8();
        strings += QStringLiteral("PADDING_ENTRY_WITH_A_RATHER_LONG_NAME_%1=%2\n").arg(i).arg(QString(30, 'p')).toUtf8();
    }
    identifiers += "LAST_ENTRY=5107\n";
    strings += "LAST_ENTRY=found after 16000 characters\n";
    ASSERT_GT(identifiers.size(), 16000);
    ASSERT_GT(strings.size(), 16000);
    writeTables(identifiers, strings);
    load();

    EXPECT_EQ(LookupNumber(5107), "found after 16000 characters");
    EXPECT_EQ(LookupNumber(2499), QString(30, 'p'));
}

// Readers on several threads while the tables are reloaded see the old or the new text,
// never a torn or missing one.
TEST_F(LanguageTablesTest, LookupWhileLoadingFromOtherThreads)
{
    writeFile("identifiers.ini", "[Identifiers]\nCOMM_ERROR=5034\nCOMM_OK=5036\n");
    writeFile("lng_old.ini", "[Strings]\nCOMM_ERROR=Communication Error!\nCOMM_OK=Communication OK.\n");
    writeFile("lng_new.ini", "[Strings]\nCOMM_ERROR=Verbindungsfehler!\nCOMM_OK=Verbindung OK.\n");
    load("old");

    std::atomic<bool> loading{true};
    std::atomic<int> unexpected{0};
    std::atomic<int> lookups{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&] {
            do {
                const QString error = LookupNumber(5034);
                const QString ok = LookupNumber(5036);
                if ((error != "Communication Error!" && error != "Verbindungsfehler!")
                    || (ok != "Communication OK." && ok != "Verbindung OK."))
                    ++unexpected;
                ++lookups;
            } while (loading.load());
        });
    }
    // Every reader is looking up before the loads begin, however busy the machine is.
    while (lookups.load() < 4)
        std::this_thread::yield();
    for (int i = 0; i < 200; ++i)
        load(i % 2 ? "old" : "new");
    loading = false;
    for (std::thread &reader : readers)
        reader.join();

    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_GT(lookups.load(), 0);
}

// ---------------------------------------------------------------------------------------------
// The shipped tables

TEST(ShippedLanguages, EnglishGivesTheMessagesVerbatim)
{
    ScratchDataDir data;   // loads English from the shipped files
    struct Message {
        int number;
        const char *text;
    };
    const Message messages[] = {
        {5000, "0 Dissabled"},
        {5004, "0 0-23h mode, Temp in Celsius"},
        {5020, "7 Scoreboard mode"},
        {5025, "3 Torvel-19200bps"},
        {5033, "3 Can be activated over PC and over scoreboard console"},
        {5034, "Communication Error!"},
        {5035, "Check COM port and Speed."},
        {5036, "Communication OK."},
        {5037, "Uploading Time & Date ..."},
        {5050, "Device reseted."},
        {5066, "Error Opening Communication Port!"},
        {5069, "Connected at"},
        {5078, "Wrong Password! Can't clear parameters."},
        {5092, "NTP Server Unvailable!"},
        {5095, "3 active program is defined by switch on the clock chases"},
        {5106, "A  Points"},
        {5107, "d  Countdown mode"},
    };
    for (const Message &message : messages)
        EXPECT_EQ(LookupNumber(message.number), QString::fromUtf8(message.text)) << message.number;
    for (int number = FirstMessage; number <= LastMessage; ++number)
        EXPECT_TRUE(hasText(number)) << number;
}

TEST(ShippedLanguages, GermanHasEveryMessage)
{
    ScratchDataDir data;
    LoadLanguage("german");
    EXPECT_NE(LookupNumber(5034), "Communication Error!");
    for (int number = FirstMessage; number <= LastMessage; ++number)
        EXPECT_NE(LookupNumber(number), NoText) << number;
}

// "Language=German" in config.ini finds the shipped lng_german.ini.
TEST(ShippedLanguages, TheConfiguredLanguageIsFoundWhateverItsCase)
{
    ScratchDataDir data;
    data.writeConfig("[System]\nLanguage=German\n");
    ASSERT_EQ(configuredLanguage(), "German");
    LoadLanguageOrShipped(configuredLanguage());
    const QString german = LookupNumber(5034);
    LoadLanguage("german");
    EXPECT_EQ(german, LookupNumber(5034));
    EXPECT_NE(german, "Communication Error!");
    LoadLanguage("english");
}

// A per-user table that gives no text falls back to the shipped tables, as a missing one does.
TEST(ShippedLanguages, ABrokenTableInTheDataFolderGivesWayToTheShippedOnes)
{
    struct Breakage {
        const char *file;
        std::function<bool(const QString &path)> make;
    };
    const auto folder = [](const QString &path) { return QDir().mkdir(path); };
    const auto text = [](const char *bytes) {
        return [bytes](const QString &path) {
            writeBytes(path, bytes);
            return true;
        };
    };
    const Breakage breakages[] = {
        {"identifiers.ini", folder},
        {"lng_english.ini", folder},
        {"lng_english.ini", [](const QString &path) { return QFile::link("/dev/zero", path); }},
        {"lng_english.ini", text("[Strings]\n")},
        {"identifiers.ini", text("IDS_COMM_ERROR 5034\n")},   // no [Identifiers] section
    };
    for (const Breakage &broken : breakages) {
        ScratchDataDir data;
        ASSERT_TRUE(QFile::remove(data.file(broken.file)));
        ASSERT_TRUE(broken.make(data.file(broken.file))) << broken.file;
        EXPECT_EQ(LoadLanguageOrShipped("english"), shippedDataDir()) << broken.file;
        EXPECT_EQ(LookupText(Text::FileOpenError), "File Opening Error!") << broken.file;
    }
    ScratchDataDir intact;
    EXPECT_EQ(LoadLanguageOrShipped("english"), intact.path());
}

// Every number that has an English text has a German one: a window in German shows no English
// text that a translation was forgotten for.
TEST(ShippedLanguages, GermanCoversEverythingEnglishHas)
{
    ScratchDataDir data;
    const QStringList identifiers = IniFile(data.file("identifiers.ini")).section("Identifiers");
    ASSERT_GT(identifiers.size(), 200);
    std::vector<int> numbers;
    for (const QString &entry : identifiers)
        numbers.push_back(entry.section('=', 1).trimmed().toInt());
    std::vector<int> english;
    LoadLanguage("english");
    for (int number : numbers) {
        if (hasText(number))
            english.push_back(number);
    }
    LoadLanguage("german");
    for (int number : english)
        EXPECT_TRUE(hasText(number)) << number;
    LoadLanguage("english");
}

} // namespace
