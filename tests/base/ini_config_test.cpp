// INI files with the profile semantics the utility relies on, and config.ini on top of them:
// serial settings, the [Ports] mapping, the language choice and the --data-dir option.

#include "base/config_file.h"
#include "comm/serial_settings.h"
#include "base/ini_file.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrix;
using kestrix::testing::ScratchDataDir;

namespace {

// A scratch folder holding one INI file written byte for byte.
class IniFileTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath("test.ini"); }
    IniFile ini() const { return IniFile(path()); }

    void writeBytes(const QByteArray &bytes) const
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QByteArray readBytes() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Every entry of the named sections, to compare a file's keys before and after a write.
    QList<QStringList> entries(const QStringList &sections) const
    {
        QList<QStringList> result;
        for (const QString &section : sections)
            result.append(ini().section(section));
        return result;
    }

    QStringList folderEntries() const
    {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir m_dir;
};

// A text as a UTF-16 file with its byte order mark.
QByteArray utf16(const QString &text, QStringEncoder::Encoding encoding)
{
    return QStringEncoder(encoding, QStringEncoder::Flag::WriteBom).encode(text);
}

// The entries of a section without those of one key.
QStringList withoutKey(const QStringList &entries, const QString &key)
{
    QStringList kept;
    for (const QString &entry : entries) {
        if (entry.section('=', 0, 0).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            kept.append(entry);
    }
    return kept;
}

// ---------------------------------------------------------------------------------------------
// Reading

TEST_F(IniFileTest, MissingFileOrKeyGivesTheDefault)
{
    EXPECT_EQ(ini().read("Settings", "Port", "fallback"), "fallback");
    EXPECT_FALSE(ini().value("Settings", "Port").has_value());

    writeBytes("[Settings]\nPort=4\n");
    EXPECT_EQ(ini().read("Settings", "Port", "fallback"), "4");
    EXPECT_EQ(ini().read("Settings", "Baud", "fallback"), "fallback");
    EXPECT_EQ(ini().read("Other", "Port", "fallback"), "fallback");
}

TEST_F(IniFileTest, ValueIsCutTo199Characters)
{
    const QString exact(199, 'x');
    const QString longer = QString(199, 'y') + "TAIL";
    writeBytes(("[S]\nexact=" + exact + "\nlonger=" + longer + "\n").toUtf8());

    EXPECT_EQ(ini().read("S", "exact"), exact);
    EXPECT_EQ(ini().read("S", "longer"), QString(199, 'y'));
}

TEST_F(IniFileTest, SectionAndKeyNamesIgnoreCase)
{
    writeBytes("[SeTTings]\nPoRT=7\n");
    EXPECT_EQ(ini().read("settings", "port"), "7");
    EXPECT_EQ(ini().read("SETTINGS", "PORT"), "7");
}

TEST_F(IniFileTest, FirstMatchWins)
{
    writeBytes("[A]\nkey=first\nKEY=second\n[a]\nkey=third\nonly=inSecondCopy\n");
    EXPECT_EQ(ini().read("A", "key"), "first");
    // The first section of a name is the section; a later copy is never consulted.
    EXPECT_EQ(ini().read("A", "only", "absent"), "absent");
}

TEST_F(IniFileTest, EmptyValueCountsAsAbsent)
{
    writeBytes("[S]\nempty=\nblanks=   \n");
    EXPECT_FALSE(ini().value("S", "empty").has_value());
    EXPECT_EQ(ini().read("S", "empty", "kept"), "kept");
    EXPECT_EQ(ini().read("S", "blanks", "kept"), "kept");
}

TEST_F(IniFileTest, Windows1252FileIsDecoded)
{
    const QString expected = QString::fromUtf8("M\xc3\xa4nnedorf");
    writeBytes("[Place]\nName=M\xe4nnedorf\n");
    EXPECT_EQ(ini().read("Place", "Name"), expected);

    // Writing another key leaves the line as it was; the text stays the same.
    ASSERT_TRUE(ini().write("Place", "Zone", "1"));
    EXPECT_EQ(ini().read("Place", "Name"), expected);
}

TEST_F(IniFileTest, WholeSectionInFileOrderWithoutLengthCut)
{
    QByteArray text = "[Before]\nx=1\n[List]\n";
    QStringList expected;
    for (int i = 0; i < 400; ++i) {
        const QString entry = QStringLiteral("entry%1=%2").arg(i, 3, 10, QLatin1Char('0')).arg(QString(50, 'v'));
        expected.append(entry);
        text += entry.toUtf8() + '\n';
    }
    text += "[After]\ny=2\n";
    writeBytes(text);

    const QStringList entries = ini().section("list");
    ASSERT_GT(expected.join(QString()).size(), 20000);
    EXPECT_EQ(entries, expected);
    EXPECT_TRUE(ini().section("Missing").isEmpty());
}

// ---------------------------------------------------------------------------------------------
// Writing

TEST_F(IniFileTest, WriteCreatesFileAndSection)
{
    ASSERT_TRUE(ini().write("Settings", "Port", "2"));
    EXPECT_EQ(ini().read("Settings", "Port"), "2");

    ASSERT_TRUE(ini().write("System", "Language", "german"));
    EXPECT_EQ(ini().read("System", "Language"), "german");
    EXPECT_EQ(ini().read("Settings", "Port"), "2");
}

TEST_F(IniFileTest, WriteReplacesOneKeyAndKeepsEveryOtherLine)
{
    const QByteArray before =
        "; settings of the utility\r\n"
        "\r\n"
        "[System]\r\n"
        "Language=german\r\n"
        "\r\n"
        "[Settings]\r\n"
        "; chosen in the port dialog\r\n"
        "Port=1\r\n"
        "a line without equals sign\r\n"
        "Baud=2\r\n"
        "\r\n"
        "[Ports]\r\n"
        "COM3=/dev/ttyUSB9\r\n";
    writeBytes(before);

    ASSERT_TRUE(ini().write("settings", "PORT", "5"));

    QByteArray expected = before;
    expected.replace("Port=1\r\n", "Port=5\r\n");
    EXPECT_EQ(readBytes(), expected);
}

TEST_F(IniFileTest, WriteKeepsLineEndsMarkIndentationAndSpacingOfOtherLines)
{
    const QByteArray before = "\xEF\xBB\xBF[Settings]\n  Port = 1\r\nBaud=2\rLanguage=x";
    writeBytes(before);
    ASSERT_TRUE(ini().write("Settings", "Port", "4"));
    EXPECT_EQ(readBytes(), QByteArray("\xEF\xBB\xBF[Settings]\n  Port =4\r\nBaud=2\rLanguage=x"));
    ASSERT_TRUE(ini().write("Settings", "Admin", "y"));
    EXPECT_EQ(readBytes(), QByteArray("\xEF\xBB\xBF[Settings]\n  Port =4\r\nBaud=2\rLanguage=x\nAdmin=y\n"));
}

TEST_F(IniFileTest, EnclosingQuotesAreNotPartOfTheValue)
{
    writeBytes("[S]\na=\"quoted text\"\nb='single'\nc=\"open\nd=\"\"\n");
    EXPECT_EQ(ini().read("S", "a"), "quoted text");
    EXPECT_EQ(ini().read("S", "b"), "single");
    EXPECT_EQ(ini().read("S", "c"), "\"open");
    EXPECT_FALSE(ini().value("S", "d").has_value());
}

TEST_F(IniFileTest, WriteAddsKeyAtTheEndOfItsSection)
{
    writeBytes("[Settings]\nPort=1\n\n[Ports]\nCOM1=/dev/x\n");
    ASSERT_TRUE(ini().write("Settings", "Baud", "3"));
    EXPECT_EQ(readBytes(), QByteArray("[Settings]\nPort=1\nBaud=3\n\n[Ports]\nCOM1=/dev/x\n"));
}

TEST_F(IniFileTest, WriteLeavesNoTemporaryFiles)
{
    writeBytes("[S]\nk=1\n");
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(ini().write("S", "k", QString::number(i)));
    EXPECT_EQ(folderEntries(), QStringList{"test.ini"});
}

// update() reads, decides and writes under one lock: two processes that each count up in the
// same file lose none of each other's steps.
TEST_F(IniFileTest, UpdateDecidesOnTheFileAsItIsUnderTheLock)
{
    constexpr int Steps = 100;
    const auto countUp = [this] {
        for (int step = 0; step < Steps; ++step) {
            ASSERT_TRUE(ini().update([](const IniSnapshot &file) {
                const int now = leadingNumber(file.read("S", "count", "0")).value_or(-Steps * 10);
                return IniChange::write({{"S", "count", QString::number(now + 1)}});
            }));
        }
    };
    std::fflush(nullptr);
    const pid_t other = ::fork();
    if (other == 0) {
        countUp();
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    countUp();
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ini().read("S", "count"), QString::number(2 * Steps));
}

// An update that abandons, or decides on an entry that would not read back, writes nothing.
TEST_F(IniFileTest, AnUpdateThatWritesNothingLeavesTheFileAndSaysWhy)
{
    struct Decision {
        IniChange change;
        QString reason;
    };
    const Decision decisions[] = {
        {IniChange::abandon("the place is taken"), "the place is taken"},
        {IniChange::write({{"S", "k", "2"}, {"S", "a=b", "1"}}), "the key \"a=b\" contains \"=\""},
    };
    writeBytes("[S]\nk=1\n");
    for (const Decision &decision : decisions) {
        QString seen;
        QString error;
        EXPECT_FALSE(ini().update(
            [&](const IniSnapshot &file) {
                seen = file.read("S", "k");
                return decision.change;
            },
            &error));
        EXPECT_EQ(seen, "1");
        EXPECT_EQ(error, decision.reason);
        EXPECT_EQ(readBytes(), QByteArray("[S]\nk=1\n"));
        EXPECT_EQ(folderEntries(), QStringList{"test.ini"});
    }
}

TEST(IniFileWrite, FolderThatDoesNotExistFails)
{
    QTemporaryDir dir;
    EXPECT_FALSE(IniFile(dir.filePath("missing/test.ini")).write("S", "k", "1"));
}

// ---------------------------------------------------------------------------------------------
// Writing: entries that would not read back as written

TEST_F(IniFileTest, EntriesThatWouldNotReadBackAreRefusedWithAReason)
{
    const QByteArray original = "[Settings]\r\nPort=1\r\n";
    writeBytes(original);
    struct Case {
        QString section;
        QString key;
        QString value;
        QString reason;
    };
    const Case cases[] = {
        {"Ports", "COM3", "/dev/y\n[Settings]\nPort=19", "the value of \"COM3\" contains a line break"},
        {"Ports", "COM3", "/dev/y\rPort=19", "the value of \"COM3\" contains a line break"},
        {"Ports", "COM3", QString("/dev/y") + QChar(0) + "z", "the value of \"COM3\" contains a NUL character"},
        {"Ports", "CO\nM3", "x", "the key contains a line break"},
        {"Ports", QString("CO") + QChar(0), "x", "the key contains a NUL character"},
        {"Ports", "Port=19", "x", "the key \"Port=19\" contains \"=\""},
        {"Ports", "[Settings]", "x", "the key \"[Settings]\" starts with \"[\" and would read as a section"},
        {"Ports", ";COM3", "x", "the key \";COM3\" starts with \";\" and would read as a comment"},
        {"Ports", " COM3", "x", "the key \" COM3\" begins or ends with white space"},
        {"Ports", "COM3\t", "x", "the key \"COM3\t\" begins or ends with white space"},
        {" Ports", "COM3", "x", "the section name \" Ports\" begins or ends with white space"},
        {"Ports", "", "x", "the key is empty"},
        {"Ports", "  ", "x", "the key is empty"},
        {"", "COM3", "x", "the section name is empty"},
        {" ", "COM3", "x", "the section name is empty"},
        {"Ports]\nPort", "COM3", "x", "the section name contains a line break"},
        {"Ports]x", "COM3", "x", "the section name \"Ports]x\" contains \"]\""},
    };
    for (const Case &c : cases) {
        QString error;
        EXPECT_FALSE(ini().write(c.section, c.key, c.value, &error)) << c.reason.toStdString();
        EXPECT_EQ(error, c.reason);
        EXPECT_EQ(readBytes(), original) << c.reason.toStdString();
    }
}

TEST_F(IniFileTest, OneRefusedEntryStopsTheWholeWrite)
{
    const QByteArray original = "[Settings]\nPort=1\n";
    writeBytes(original);
    QString error;
    EXPECT_FALSE(ini().write("Settings", {{"Port", "2"}, {"Baud", "3\nPort=19"}}, &error));
    EXPECT_EQ(error, "the value of \"Baud\" contains a line break");
    EXPECT_EQ(readBytes(), original);
}

TEST_F(IniFileTest, RefusedEntryCreatesNoFile)
{
    EXPECT_FALSE(ini().write("Ports", "COM3", "/dev/y\n[Settings]\nPort=19"));
    EXPECT_TRUE(folderEntries().isEmpty());
}

// ---------------------------------------------------------------------------------------------
// Writing: other lines stay byte for byte, new text in the file's own encoding

TEST_F(IniFileTest, Windows1252LinesStayByteForByte)
{
    writeBytes("[Place]\r\nName=M\xe4nnedorf\r\nZone=0\r\n");
    ASSERT_TRUE(ini().write("Place", "Zone", "1"));
    EXPECT_EQ(readBytes(), QByteArray("[Place]\r\nName=M\xe4nnedorf\r\nZone=1\r\n"));
}

TEST_F(IniFileTest, StrayByteInAUtf8FileSpoilsNoOtherLine)
{
    writeBytes("[Place]\nName=Z\xc3\xbcrich\nNote=caf\xe9\nZone=0\n");
    EXPECT_EQ(ini().read("Place", "Name"), QString::fromUtf8("Z\xc3\xbcrich"));
    EXPECT_EQ(ini().read("Place", "Note"), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(readTextFile(path()), QString::fromUtf8("[Place]\nName=Z\xc3\xbcrich\nNote=caf\xc3\xa9\nZone=0\n"));

    ASSERT_TRUE(ini().write("Place", "Zone", "1"));
    EXPECT_EQ(readBytes(), QByteArray("[Place]\nName=Z\xc3\xbcrich\nNote=caf\xe9\nZone=1\n"));
}

TEST_F(IniFileTest, ByteOrderMarkIsSkippedBeforeAWindows1252Line)
{
    writeBytes("\xEF\xBB\xBF[Settings]\nPort=2\nName=caf\xe9\n");
    EXPECT_EQ(ini().read("Settings", "Port"), "2");
    EXPECT_EQ(ini().read("Settings", "Name"), QString::fromUtf8("caf\xc3\xa9"));

    ASSERT_TRUE(ini().write("Settings", "Baud", "3"));
    EXPECT_EQ(readBytes(), QByteArray("\xEF\xBB\xBF[Settings]\nPort=2\nName=caf\xe9\nBaud=3\n"));
}

TEST_F(IniFileTest, Utf16FilesAreReadAndStayUtf16)
{
    const QString city = QString::fromUtf8("\xc5\x81\xc3\xb3""d\xc5\xba");
    const QString before = QString::fromUtf8("[Settings]\r\nPort=2\r\nName=Z\xc3\xbcrich \xe2\x82\xac\r\n");
    const QString after = QString::fromUtf8("[Settings]\r\nPort=5\r\nName=Z\xc3\xbcrich \xe2\x82\xac\r\nBaud=3\r\n")
                          + "\r\n[Place]\r\nCity=" + city + "\r\n";
    for (const auto encoding : {QStringEncoder::Utf16LE, QStringEncoder::Utf16BE}) {
        writeBytes(utf16(before, encoding));
        EXPECT_EQ(ini().read("Settings", "Port"), "2") << int(encoding);
        EXPECT_EQ(ini().read("Settings", "Name"), QString::fromUtf8("Z\xc3\xbcrich \xe2\x82\xac")) << int(encoding);
        EXPECT_EQ(readTextFile(path()), QChar(0xFEFF) + before) << int(encoding);

        ASSERT_TRUE(ini().write("Settings", {{"Port", "5"}, {"Baud", "3"}}));
        ASSERT_TRUE(ini().write("Place", "City", city));
        EXPECT_EQ(readBytes(), utf16(after, encoding)) << int(encoding);
    }
}

TEST_F(IniFileTest, Utf16FileCutInACharacterIsNotWritten)
{
    const QByteArray original = utf16("[Settings]\r\nPort=2\r\n", QStringEncoder::Utf16LE) + 'x';
    writeBytes(original);
    QString error;
    EXPECT_FALSE(ini().write("Settings", "Baud", "3", &error));
    EXPECT_EQ(error, path() + " ends in the middle of a UTF-16 character");
    EXPECT_EQ(readBytes(), original);
}

TEST_F(IniFileTest, NewLinesTakeTheLineEndOfTheLineBefore)
{
    // A blank line after a lone CR must not turn into the LF of a CR LF.
    writeBytes("[A]\nx=1\r");
    ASSERT_TRUE(ini().write("B", "k", "2"));
    EXPECT_EQ(readBytes(), QByteArray("[A]\nx=1\r\r[B]\rk=2\r"));

    writeBytes("[A]\r\nx=1\n\r\n[B]\r\n");
    ASSERT_TRUE(ini().write("A", "y", "2"));
    EXPECT_EQ(readBytes(), QByteArray("[A]\r\nx=1\ny=2\n\r\n[B]\r\n"));
}

TEST_F(IniFileTest, NewTextTakesTheEncodingOfTheFile)
{
    struct Case {
        QByteArray before;
        const char *key;
        const char *value;   // UTF-8
        QByteArray after;
    };
    const Case cases[] = {
        // Windows-1252 file: Windows-1252 where the text has it, else UTF-8.
        {"[P]\nName=M\xe4nnedorf\n", "City", "Z\xc3\xbcrich \xe2\x82\xac", "[P]\nName=M\xe4nnedorf\nCity=Z\xfcrich \x80\n"},
        {"[P]\nName=M\xe4nnedorf\n", "City", "\xc5\x81\xc3\xb3""d\xc5\xba",
         "[P]\nName=M\xe4nnedorf\nCity=\xc5\x81\xc3\xb3""d\xc5\xba\n"},
        // Its Windows-1252 bytes would read back as UTF-8 "\xc3\xa4".
        {"[P]\nName=M\xe4nnedorf\n", "City", "\xc3\x83\xc2\xa4", "[P]\nName=M\xe4nnedorf\nCity=\xc3\x83\xc2\xa4\n"},
        // A changed line keeps its own encoding.
        {"[P]\nName=M\xe4nnedorf\n", "Name", "Z\xc3\xbcrich", "[P]\nName=Z\xfcrich\n"},
        {"[P]\nName=Z\xc3\xbcrich\nNote=caf\xe9\n", "Name", "M\xc3\xa4nnedorf", "[P]\nName=M\xc3\xa4nnedorf\nNote=caf\xe9\n"},
        // UTF-8 and ASCII files, and a file with a UTF-8 mark: UTF-8.
        {"[P]\nName=Z\xc3\xbcrich\nNote=caf\xe9\n", "City", "M\xc3\xa4nnedorf",
         "[P]\nName=Z\xc3\xbcrich\nNote=caf\xe9\nCity=M\xc3\xa4nnedorf\n"},
        {"[P]\nName=x\n", "City", "M\xc3\xa4nnedorf", "[P]\nName=x\nCity=M\xc3\xa4nnedorf\n"},
        {"\xEF\xBB\xBF[P]\nName=M\xe4nnedorf\n", "City", "Z\xc3\xbcrich",
         "\xEF\xBB\xBF[P]\nName=M\xe4nnedorf\nCity=Z\xc3\xbcrich\n"},
    };
    for (const Case &c : cases) {
        writeBytes(c.before);
        ASSERT_TRUE(ini().write("P", c.key, QString::fromUtf8(c.value)));
        EXPECT_EQ(readBytes(), c.after) << c.before.toStdString() << " + " << c.value;
        EXPECT_EQ(ini().read("P", c.key), QString::fromUtf8(c.value));
    }
}

TEST_F(IniFileTest, AWrittenFileReadsBackWithTheNewValueAndEveryOtherKey)
{
    const QStringList sections{"Settings", "Place", "New"};
    const QString text = QString::fromUtf8("[Settings]\r\nPort=2\r\n\r\n[Place]\r\nName=Z\xc3\xbcrich\r\nZone=1");
    const QByteArray files[] = {
        "[Settings]\nPort=2\nName=M\xe4nnedorf\n\n[Place]\rCity=Z\xc3\xbcrich\r\nNote=caf\xe9",
        "\xEF\xBB\xBF[Place]\r\nNote=caf\xe9\r\r\n[Settings]\nPort = 4 ; COM5\n",
        "[Settings]\rPort=1\r\r[Place]\rZone=2\r",
        utf16(text, QStringEncoder::Utf16LE),
        utf16(text, QStringEncoder::Utf16BE),
    };
    const std::pair<QString, QString> writes[] = {
        {"Settings", "Port"}, {"Place", "City"}, {"Place", "Name"}, {"New", "Key"},
    };
    const QString value = QString::fromUtf8("Gen\xc3\xa8ve \xe2\x82\xac \xc5\x81");
    for (const QByteArray &file : files) {
        for (const auto &[section, key] : writes) {
            writeBytes(file);
            const QList<QStringList> before = entries(sections);
            ASSERT_FALSE(before[0].isEmpty()) << file.toStdString();
            ASSERT_FALSE(before[1].isEmpty()) << file.toStdString();
            ASSERT_TRUE(ini().write(section, key, value));
            EXPECT_EQ(ini().read(section, key), value) << file.toStdString();
            const QList<QStringList> after = entries(sections);
            for (qsizetype i = 0; i < sections.size(); ++i) {
                EXPECT_EQ(withoutKey(after[i], key), withoutKey(before[i], key))
                    << file.toStdString() << " [" << section.toStdString() << "] " << key.toStdString();
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// config.ini: serial settings

TEST(ConfigSerialSettings, PortAndBaudIndexes)
{
    ScratchDataDir data;
    data.writeConfig("[Settings]\nPort=2\nBaud=2\n");
    const SerialSettings settings = readSerialSettings();
    EXPECT_EQ(settings.port, 3);
    EXPECT_EQ(settings.speed, 9600);

    const int speeds[] = {2400, 4800, 9600, 19200};
    for (int index = 0; index < 4; ++index) {
        data.writeConfig(QStringLiteral("[Settings]\nBaud=%1\n").arg(index));
        EXPECT_EQ(readSerialSettings().speed, speeds[index]) << "Baud=" << index;
    }
}

TEST(ConfigSerialSettings, UnusableValuesLeaveTheSettings)
{
    ScratchDataDir data;
    struct Case {
        const char *config;
        SerialSettings expected;
    };
    // The window had COM6 at 4800 before reading.
    const Case cases[] = {
        {"[Settings]\nPort=1\nBaud=7\n", {2, 4800}},
        {"[Settings]\nPort=\nBaud=3\n", {6, 19200}},
        {"[Settings]\nPort=abc\nBaud=-1\n", {6, 4800}},
        {"", {6, 4800}},
    };
    for (const Case &c : cases) {
        data.writeConfig(c.config);
        SerialSettings settings{6, 4800};
        readSerialSettings(settings);
        EXPECT_EQ(settings.port, c.expected.port) << c.config;
        EXPECT_EQ(settings.speed, c.expected.speed) << c.config;
    }
}

TEST(LeadingNumber, BlanksSignAndDigitsUpToTheFirstNonDigit)
{
    constexpr int Max = std::numeric_limits<int>::max();
    constexpr int Min = std::numeric_limits<int>::min();
    const std::pair<QString, std::optional<int>> cases[] = {
        {"2 ; COM3", 2}, {"3 ; 19200", 3}, {"  +7x", 7}, {"\t-12abc", -12}, {"0", 0}, {"007", 7},
        {"2147483647", Max}, {"-2147483648", Min}, {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt}, {"99999999999999999999", std::nullopt},
        {"", std::nullopt}, {"abc", std::nullopt}, {"+", std::nullopt}, {"-", std::nullopt},
        {"- 3", std::nullopt}, {"x3", std::nullopt}, {QString::fromUtf8("\xd9\xa3"), std::nullopt},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(leadingNumber(text), expected) << text.toStdString();
}

TEST(ConfigSerialSettings, PortAndBaudAreLeadingNumbers)
{
    ScratchDataDir data;
    struct Case {
        const char *config;
        SerialSettings expected;
    };
    // The window had COM6 at 4800 before reading.
    const Case cases[] = {
        {"[Settings]\nPort=2 ; COM3\nBaud=3 ; 19200\n", {3, 19200}},
        {"[Settings]\nPort=+4th\nBaud=1x\n", {5, 4800}},
        {"[Settings]\nPort\nBaud\n", {6, 4800}},
        {"[Settings]\nPort=; 3\nBaud=x3\n", {6, 4800}},
        {"[Settings]\nPort=99999999999\nBaud=-99999999999\n", {6, 4800}},
    };
    for (const Case &c : cases) {
        data.writeConfig(c.config);
        SerialSettings settings{6, 4800};
        readSerialSettings(settings);
        EXPECT_EQ(settings, c.expected) << c.config;
    }
}

TEST(ConfigSerialSettings, WriteStoresListPositions)
{
    ScratchDataDir data;
    data.writeConfig("[System]\nLanguage=english\n");
    ASSERT_TRUE(writeSerialSettings({4, 19200}));

    const IniFile config(data.file("config.ini"));
    EXPECT_EQ(config.read("Settings", "Port"), "3");
    EXPECT_EQ(config.read("Settings", "Baud"), "3");
    EXPECT_EQ(config.read("System", "Language"), "english");
    const SerialSettings back = readSerialSettings();
    EXPECT_EQ(back.port, 4);
    EXPECT_EQ(back.speed, 19200);
}

// ---------------------------------------------------------------------------------------------
// config.ini: devices of the ports, language

TEST(ConfigPorts, MappedDeviceElsePlatformDefault)
{
    ScratchDataDir data;
    QFile config(data.file("config.ini"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
    config.write("[Ports]\nCOM2=/dev/custom-board\n");
    config.close();

    EXPECT_EQ(deviceForPort(2), "/dev/custom-board");
    struct Case {
        int port;
        const char *device;
    };
    const Case defaults[] = {
        {1, "/dev/ttyS0"},    {4, "/dev/ttyS3"},     {5, "/dev/ttyUSB0"}, {12, "/dev/ttyUSB7"},
        {13, "/dev/ttyACM0"}, {20, "/dev/ttyACM7"},  {0, ""},             {21, ""},
    };
    for (const Case &c : defaults)
        EXPECT_EQ(deviceForPort(c.port), QString::fromLatin1(c.device)) << "COM" << c.port;
}

TEST(ConfigPorts, MapPortToDeviceWritesThePortsSection)
{
    ScratchDataDir data;
    ASSERT_TRUE(mapPortToDevice(9, "/dev/pts/99"));
    EXPECT_EQ(deviceForPort(9), "/dev/pts/99");
    EXPECT_EQ(IniFile(data.file("config.ini")).read("Ports", "COM9"), "/dev/pts/99");
}

TEST(ConfigPorts, ADeviceWithALineBreakIsRefusedAndNothingChanges)
{
    ScratchDataDir data;
    data.writeConfig("[System]\nLanguage=english\n");
    const QString before = data.readConfig();
    const QString deviceOfCom4 = deviceForPort(4);

    QString error;
    EXPECT_FALSE(mapPortToDevice(3, "/dev/y\n[Settings]\nPort=19", &error));
    EXPECT_EQ(error, "the value of \"COM3\" contains a line break");
    EXPECT_EQ(data.readConfig(), before);
    EXPECT_EQ(readSerialSettings().port, 0);
    EXPECT_EQ(deviceForPort(4), deviceOfCom4);
}

TEST(ConfigLanguage, DefaultIsEnglish)
{
    ScratchDataDir data;
    EXPECT_EQ(configuredLanguage(), "english");
    data.writeConfig("[System]\nLanguage=german\n");
    EXPECT_EQ(configuredLanguage(), "german");
}

// ---------------------------------------------------------------------------------------------
// --data-dir

TEST(DataDirOption, SeparateAndJoinedForms)
{
    ScratchDataDir restoresTheFolderAfterwards;
    QTemporaryDir first;
    QTemporaryDir second;
    QString error;

    QStringList arguments{"check", "--data-dir", first.path(), "--port", "3"};
    ASSERT_TRUE(applyDataDirOption(arguments, &error));
    EXPECT_EQ(arguments, (QStringList{"check", "--port", "3"}));
    EXPECT_EQ(dataDir(), first.path());
    EXPECT_EQ(configFilePath(), QDir(first.path()).filePath("config.ini"));

    arguments = QStringList{"--data-dir=" + second.path(), "versions"};
    ASSERT_TRUE(applyDataDirOption(arguments, &error));
    EXPECT_EQ(arguments, QStringList{"versions"});
    EXPECT_EQ(dataDir(), second.path());
}

TEST(DataDirOption, MissingFolderIsAnError)
{
    ScratchDataDir data;
    QString error;
    QStringList arguments{"check", "--data-dir"};
    EXPECT_FALSE(applyDataDirOption(arguments, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(dataDir(), data.path());
}

TEST(DataDirOption, WithoutTheOptionNothingChanges)
{
    ScratchDataDir data;
    QString error;
    QStringList arguments{"check", "--port", "3"};
    EXPECT_TRUE(applyDataDirOption(arguments, &error));
    EXPECT_EQ(arguments, (QStringList{"check", "--port", "3"}));
    EXPECT_EQ(dataDir(), data.path());
}

} // namespace
