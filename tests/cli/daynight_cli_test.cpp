// kestrix-cli daynight against the shipped Daynight.txt (Vienna, Oslo, brightness 20) and
// simulated boards: the place list, a place's record, the frames of an upload, a download printed
// and stored under the name read, an incomplete download, an upload to a board unplugged on the
// way, a name the file cannot take, compare and upload --verify, and refused places and options.
// Each operation prints one ending.

#include "support/cli_support.h"

#include "daynight/location_file.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::CliRun;

namespace {

// The check, and the preamble before the operation opens the port.
constexpr size_t EnvelopeFrames = 3;

const char *const Months[] = {"January", "February", "March",     "April",   "May",      "June",
                              "July",    "August",   "September", "October", "November", "December"};

// The board's schedule: hours by time (Rise, Begin, End, Set, as a month's registers hold them),
// minutes the month's number. December's Set holds 255 twice: no time.
constexpr int BoardHours[] = {6, 7, 18, 19};

class DayNightCli : public kt::CliWithBoard {
protected:
    // Brightness 35, the name, and the times of BoardHours in every register from 893 to 998.
    void presetBoard(const QByteArray &name) const
    {
        board->setRegister(893, 35);
        for (int position = 0; position < 9; ++position)
            board->setRegister(894 + position, position < name.size() ? uint8_t(name[position]) : 0);
        for (int reg = 903; reg <= 998; reg += 2) {
            const int month = (reg - 903) / 8;
            board->setRegister(reg, uint8_t(BoardHours[(reg - 903) % 8 / 2]));
            board->setRegister(reg + 1, uint8_t(month + 1));
        }
        board->setRegister(997, 255);
        board->setRegister(998, 255);
    }

    QString locationFile() const
    {
        QFile file(data.file("Daynight.txt"));
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QStringLiteral("(none)");
    }

    void writeLocationFile(const QByteArray &bytes) const { kt::writeBytes(data.file("Daynight.txt"), bytes); }

    // The lines of the file's section of a place, up to the next section.
    QStringList sectionLines(const QString &place) const
    {
        QStringList lines = locationFile().split(u'\n');
        for (QString &line : lines)
            line = line.trimmed();
        const qsizetype start = lines.indexOf("[" + place + "]");
        if (start < 0)
            return {};
        QStringList section;
        for (qsizetype i = start + 1; i < lines.size() && !lines[i].startsWith(u'['); ++i) {
            if (!lines[i].isEmpty())
                section << lines[i];
        }
        return section;
    }
};

// The 48 time lines a download of presetBoard prints, in the file's order.
QStringList boardTimeLines()
{
    auto time = [](int hours, int month) { return QStringLiteral("%1%2").arg(hours, 2, 10, QLatin1Char('0')).arg(month, 2, 10, QLatin1Char('0')); };
    QStringList lines;
    for (int month = 0; month < 12; ++month) {
        lines << QStringLiteral("%1 Rise=%2").arg(Months[month], time(BoardHours[0], month + 1));
        lines << QStringLiteral("%1 Set=%2").arg(Months[month], month == 11 ? QString() : time(BoardHours[3], month + 1));
    }
    for (int month = 0; month < 12; ++month) {
        lines << QStringLiteral("%1 Begin=%2").arg(Months[month], time(BoardHours[1], month + 1));
        lines << QStringLiteral("%1 End=%2").arg(Months[month], time(BoardHours[2], month + 1));
    }
    return lines;
}

TEST_F(DayNightCli, PlacesListsTheNamesInFileOrderThenTheBrightness)
{
    CliRun run = cli({"daynight", "places"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.out, "Vienna\nOslo\nMinimal brightness: 20\n") << run;

    writeLocationFile("[Location Settings]\nLocations=3\nLocation1=Graz\nLocation3=Linz\n[Minimal Brightness]\nBrightness=7\n");
    run = cli({"daynight", "places"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.out, "Graz\n(empty slot 2)\nLinz\nMinimal brightness: 7\n") << run;
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(DayNightCli, ShowPrintsThePlacesFiftyOneKeysInTheFilesOrder)
{
    const QStringList oslo = sectionLines("Oslo");
    ASSERT_EQ(oslo.size(), 51);
    for (const char *name : {"Oslo", "oSLO"}) {
        const CliRun run = cli({"daynight", "show", name});
        EXPECT_EQ(run.exitCode, 0) << run;
        EXPECT_EQ(run.out.split(u'\n', Qt::SkipEmptyParts), oslo) << run;
    }
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(DayNightCli, AnUnknownPlaceIsAUsageErrorNamingThePlaces)
{
    for (const char *operation : {"show", "upload"}) {
        const CliRun run = cliOnBoard({"daynight", operation, "Vie"});
        EXPECT_EQ(run.exitCode, 3) << run;
        EXPECT_TRUE(run.err.contains("no place \"Vie\"")) << run;
        EXPECT_TRUE(run.err.contains("Vienna, Oslo")) << run;
        EXPECT_TRUE(run.out.isEmpty()) << run;
    }
    EXPECT_TRUE(board->frameTexts().empty());
}

TEST_F(DayNightCli, UploadSendsTheBrightnessTheNameAndTheTimesOfThePlace)
{
    const CliRun run = cliOnBoard({"daynight", "upload", "vienna"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.out, "Times Uploaded.\n") << run;
    std::vector<std::string> frames = kt::received(*board, EnvelopeFrames + 106);
    std::erase_if(frames, [](const std::string &frame) { return !frame.starts_with('W'); });
    ASSERT_EQ(frames.size(), 106u);
    const std::vector<std::string> head{
        "W89314\r", "W89456\r", "W89569\r", "W89665\r", "W8976E\r", "W8986E\r", "W89961\r", "W90000\r",
        "W90100\r", "W90200\r",
        // January: Rise 0745, Begin 0715, End 1640, Set 1610.
        "W90307\r", "W9042D\r", "W90507\r", "W9060F\r", "W90710\r", "W90828\r", "W90910\r", "W9100A\r"};
    EXPECT_EQ(std::vector<std::string>(frames.begin(), frames.begin() + std::ssize(head)), head);
    // December's Set 1600 last.
    EXPECT_EQ(frames[104], "W99710\r");
    EXPECT_EQ(frames[105], "W99800\r");
}

TEST_F(DayNightCli, AnUploadToABoardUnpluggedAfterTwentyWritesExitsOne)
{
    const CliRun run = runUnplugged({"daynight", "upload", "vienna"}, EnvelopeFrames + 20);
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.out.isEmpty()) << run;
    EXPECT_EQ(run.err.count("Failed: the board was lost after"), 1) << run;
    EXPECT_FALSE(run.err.contains("Times Uploaded.")) << run;
    EXPECT_LT(board->frameTexts().size(), EnvelopeFrames + 106);
}

TEST_F(DayNightCli, DownloadSavePrintsTheScheduleAndAddsTheNewPlace)
{
    presetBoard("Graz");
    const CliRun run = cliOnBoard({"daynight", "download", "--save"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.out.split(u'\n', Qt::SkipEmptyParts), QStringList({"Name=Graz", "Brightness=35"}) + boardTimeLines()) << run;
    EXPECT_TRUE(run.err.contains("Saved Graz")) << run;

    const LocationList list = loadLocationList(data.file("Daynight.txt"));
    EXPECT_EQ(list.names, QStringList({"Vienna", "Oslo", "Graz"}));
    EXPECT_EQ(list.brightness, "35");
    EXPECT_EQ(sectionLines("Graz"), QStringList({"Latitude=", "Longitude=", "Timezone="}) + boardTimeLines());
    EXPECT_EQ(sectionLines("Oslo").value(0), "Latitude=59.91 N");
}

TEST_F(DayNightCli, AnIncompleteDownloadKeepsTheFilesValuesExitsOneAndSavesNothing)
{
    presetBoard("OSLO");
    // The brightness and January's Rise hours do not answer.
    board->setFaults({.unansweredReads = {893, 903}});
    const QString file = locationFile();
    const CliRun run = cliOnBoard({"daynight", "download", "--save"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_EQ(run.err.count("Download incomplete: 2 registers did not answer."), 1) << run;
    EXPECT_FALSE(run.err.contains("Times Downloaded.")) << "one ending\n" << run;
    EXPECT_TRUE(run.err.contains("not saved")) << run;
    QStringList expected = QStringList({"Name=OSLO", "Brightness=20"}) + boardTimeLines();
    expected[2] = "January Rise=0918";   // Oslo's in the file
    EXPECT_EQ(run.out.split(u'\n', Qt::SkipEmptyParts), expected) << run;
    EXPECT_EQ(locationFile(), file);
}

TEST_F(DayNightCli, ASaveOfANameTheFileCannotTakeExitsTwoAndKeepsTheFile)
{
    presetBoard("Gr]z");
    const QString file = locationFile();
    const CliRun run = cliOnBoard({"daynight", "download", "--save"});
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.out.startsWith("Name=Gr]z\nBrightness=35\n")) << run;
    EXPECT_TRUE(run.err.contains("The place was not saved")) << run;
    EXPECT_TRUE(run.err.contains("\"]\"")) << run;
    EXPECT_EQ(locationFile(), file);
}

// Names the board can show go as Windows-1252 codes; what the board cannot take is refused before
// the port is opened, as a usage error naming the value.
TEST_F(DayNightCli, UploadRefusesWhatTheBoardCannotTakeBeforeSendingAnything)
{
    struct Row {
        const char *name;
        const char *brightness;
        const char *januaryRise;
        const char *refusal;   // empty: uploaded, the name's first codes as given
        std::vector<std::string> nameFrames;
    };
    const std::vector<Row> rows{
        {"Zürich", "20", "0745", "", {"W8945A\r", "W895FC\r"}},
        {"Kraków", "100", "0745", "", {"W8944B\r", "W89572\r", "W89661\r", "W8976B\r", "W898F3\r"}},
        {"€uro", "0", "0745", "", {"W89480\r", "W89575\r"}},
        {"東京", "20", "0745", "cannot show: 東 京", {}},
        {"Graz", "300", "0745", "from 0 to 100, not \"300\"", {}},
        {"Graz", "20", "-100", "January Rise must be empty or a time hhmm", {}},
        {"Graz", "20", "2460", "not \"2460\"", {}},
    };
    for (const Row &row : rows) {
        board->clearFrames();
        writeLocationFile(QStringLiteral("[Location Settings]\nLocations=1\nLocation1=%1\n[Minimal Brightness]\n"
                                         "Brightness=%2\n[%1]\nJanuary Rise=%3\n")
                              .arg(QString::fromUtf8(row.name), row.brightness, row.januaryRise)
                              .toUtf8());
        const CliRun run = cliOnBoard({"daynight", "upload", QString::fromUtf8(row.name)});
        if (!*row.refusal) {
            EXPECT_EQ(run.exitCode, 0) << run;
            const std::vector<std::string> frames = kt::received(*board, EnvelopeFrames + 106);
            ASSERT_EQ(frames.size(), EnvelopeFrames + 106) << run;
            for (std::size_t i = 0; i < row.nameFrames.size(); ++i)
                EXPECT_EQ(frames[EnvelopeFrames + 1 + i], row.nameFrames[i]) << row.name;
            continue;
        }
        EXPECT_EQ(run.exitCode, 3) << run;
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(row.refusal))) << run;
        EXPECT_TRUE(run.out.isEmpty()) << run;
        EXPECT_TRUE(board->frameTexts().empty()) << run;
    }
}

// A board's name register may hold any byte: printed, control characters are spelled out and
// each key keeps one line; saved, the name is refused as a typed one would be.
TEST_F(DayNightCli, ControlCharactersInTheBoardsNameArePrintedSpelledOutAndNotSaved)
{
    presetBoard("\x1b[2J\nX");
    const QString file = locationFile();
    const CliRun run = cliOnBoard({"daynight", "download", "--save"});
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_EQ(run.out.split(u'\n', Qt::SkipEmptyParts),
              QStringList({"Name=<ESC>[2J<LF>X", "Brightness=35"}) + boardTimeLines()) << run;
    EXPECT_TRUE(run.err.contains("The place was not saved")) << run;
    EXPECT_TRUE(run.err.contains("<ESC>[2J<LF>X")) << run;
    EXPECT_FALSE(run.err.contains(QChar(0x1b)) || run.out.contains(QChar(0x1b))) << run;
    EXPECT_EQ(locationFile(), file);
}

// A folder, a file without read permission or a link to a missing file in place of Daynight.txt
// cannot be read: said with the reason, exit 2. A missing file has no places.
TEST_F(DayNightCli, APlaceFileThatCannotBeReadIsSaidAndExitsTwo)
{
    const QString path = data.file("Daynight.txt");
    struct Row {
        const char *what;
        std::function<void()> place;
        const char *reason;   // empty: no places
    };
    const Row rows[] = {
        {"missing", [] {}, ""},
        {"folder", [&] { QDir().mkdir(path); }, "it is a folder"},
        {"dangling link", [&] { QFile::link(path + ".gone", path); }, "a link to the missing"},
        {"unreadable", [&] {
             writeLocationFile("[Location Settings]\nLocations=1\nLocation1=Graz\n");
             ::chmod(QFile::encodeName(path).constData(), 0);
         }, "Permission denied"},
    };
    // Run as an ordinary user (root reads any file): the folder lets it in.
    ::chmod(QFile::encodeName(data.path()).constData(), 0755);
    for (const Row &row : rows) {
        QFile::remove(path);
        QDir().rmdir(path);
        row.place();
        for (const char *operation : {"places", "upload"}) {
            QStringList arguments{"daynight", operation};
            if (operation == std::string("upload"))
                arguments << "Graz";
            const CliRun run = cliOnBoard(arguments, kt::asNobody());
            EXPECT_FALSE(run.err.contains("its places: none") && *row.reason) << run;
            if (!*row.reason) {
                EXPECT_TRUE(run.err.contains(operation == std::string("places") ? "No places" : "its places: none")) << run;
                continue;
            }
            EXPECT_EQ(run.exitCode, 2) << row.what << "\n" << run;
            EXPECT_TRUE(run.err.contains("The places cannot be read: " + path + ": ")) << run;
            EXPECT_TRUE(run.err.contains(row.reason)) << run;
            EXPECT_TRUE(run.out.isEmpty()) << run;
        }
    }
    EXPECT_TRUE(board->frameTexts().empty());
}

// compare prints what differs between a place and the board and writes nothing; --verify reads
// back what an upload wrote.
TEST_F(DayNightCli, CompareAndVerifyNameWhatDiffersAndListWhatDidNotAnswerApart)
{
    // Zürich as presetBoard leaves the board, December's Set a time of its own.
    QString file = QStringLiteral("[Location Settings]\nLocations=1\nLocation1=Zürich\n[Minimal Brightness]\n"
                                  "Brightness=35\n[Zürich]\nTimezone=+1\n");
    for (const QString &line : boardTimeLines())
        file += (line.endsWith(u'=') ? line + "1912" : line) + u'\n';
    writeLocationFile(file.toUtf8());
    const std::pair<int, uint8_t> decemberSet[] = {{997, 19}, {998, 12}};
    const QByteArray zurich = "Z\xFCrich";

    struct Row {
        const char *name;
        QStringList arguments;
        QByteArray boardName;
        std::vector<std::pair<int, uint8_t>> registers;   // on top of presetBoard
        sim::Faults faults;
        int exitCode;
        QString out;
    };
    const std::vector<Row> rows{
        {"equal", {"daynight", "compare", "zürich"}, zurich, {}, {}, 0, "No item differs.\n"},
        {"differing", {"daynight", "compare", "Zürich"}, "Zurich", {{893, 36}, {903, 5}}, {}, 4,
         "Brightness: file 35, board 36\nName: file Zürich, board Zurich\nJanuary Rise: file 0601, board 0501\n"
         "3 items differ.\n"},
        {"unanswered", {"daynight", "compare", "Zürich"}, zurich, {}, {.unansweredReads = {895, 904}}, 1,
         "No item differs.\nNo answer: Name (R894-R902), file Zürich\nNo answer: January Rise (R903 R904), file 0601\n"},
        {"verified", {"daynight", "upload", "Zürich", "--verify"}, "", {}, {}, 0,
         "Times Uploaded.\nVerified: the board holds the 106 registers sent.\n"},
        {"stored as another value", {"daynight", "upload", "Zürich", "--verify"}, "", {}, {.storedAs = {{895, 'u'}}}, 5,
         "Times Uploaded.\nR895: sent 252, board holds 117\nRead back 106 registers: 1 differ, 0 did not answer.\n"},
        {"verify with download", {"daynight", "download", "--verify"}, zurich, {}, {}, 3, ""},
        {"verify with compare", {"daynight", "compare", "Zürich", "--verify"}, zurich, {}, {}, 3, ""},
        {"save with compare", {"daynight", "compare", "Zürich", "--save"}, zurich, {}, {}, 3, ""},
        {"compare without a place", {"daynight", "compare"}, zurich, {}, {}, 3, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        presetBoard(row.boardName);
        for (const auto &[reg, value] : decemberSet)
            board->setRegister(reg, value);
        for (const auto &[reg, value] : row.registers)
            board->setRegister(reg, value);
        board->setFaults(row.faults);
        board->clearFrames();
        const CliRun run = cliOnBoard(row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << run;
        EXPECT_EQ(run.out, row.out) << run;
        EXPECT_EQ(locationFile(), QString::fromLatin1(file.toUtf8()));
        if (row.arguments[1] == "compare") {
            EXPECT_TRUE(std::ranges::none_of(board->frameTexts(), [](const std::string &frame) { return frame.starts_with('W'); }))
                << "compare wrote to the board";
        }
    }
}

TEST_F(DayNightCli, SaveBesideAnotherOperationAndWrongOperandsAreUsageErrors)
{
    const QList<QStringList> refused{
        {"daynight", "places", "--save"}, {"daynight", "--save", "show", "Oslo"}, {"daynight", "upload", "Oslo", "--save"},
        {"daynight"}, {"daynight", "list"}, {"daynight", "show"}, {"daynight", "places", "Oslo"},
        {"daynight", "download", "Oslo"}, {"daynight", "upload"}};
    for (const QStringList &arguments : refused) {
        const CliRun run = cliOnBoard(arguments);
        EXPECT_EQ(run.exitCode, 3) << arguments.join(u' ').toStdString() << "\n" << run;
    }
    EXPECT_TRUE(cli({"daynight", "places", "--save"}).err.contains("--save goes only with download"));
    EXPECT_TRUE(board->frameTexts().empty());
}

} // namespace
