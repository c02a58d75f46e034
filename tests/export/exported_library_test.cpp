// The exported library as another program uses it: the public CComm, the symbols it exports,
// and its C interface loaded from Python.
#include "support/process_support.h"
#include "support/test_support.h"

#include <kestrix/comm.h>
#include <kestrix/comm_c.h>

#include <QProcess>
#include <QRegularExpression>
#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace kt = kestrix::testing;

namespace {

constexpr int BoardPort = 1;

QString libraryPath()
{
    return kt::programBesideTests("libkestrixcomm.so");
}

// The library reads config.ini like any program that is not ours: through KESTRIX_DATA_DIR.
class ExportedLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(board);
        qputenv("KESTRIX_DATA_DIR", data.path().toLocal8Bit());
    }
    void TearDown() override { qunsetenv("KESTRIX_DATA_DIR"); }

    kt::ScratchDataDir data;
    std::unique_ptr<kestrix::sim::BoardSim> board = kt::startBoardOn(BoardPort);
};

TEST_F(ExportedLibraryTest, PublicClassDrivesTheBoard)
{
    CComm comm;
    EXPECT_EQ(comm.Open(21, 9600), -1);
    ASSERT_EQ(comm.Open(BoardPort, 9600), 0);
    EXPECT_EQ(comm.SetCurrency(3, 1, 1.5, 1.4567), '>');
    EXPECT_TRUE(comm.SetCurrency(std::string("EUR"), std::string("i"), 0.9, 1.1));
    EXPECT_EQ(comm.SetIntensity(5, 2, 6, 30, 22, 0), '>');
    EXPECT_EQ(comm.Test(), '>');
    std::string confirmed;
    comm.SetTimeConfirmation([&confirmed](const std::string &text) { confirmed = text; });
    SYSTEMTIME time{2014, 5, 2, 13, 9, 7, 15, 500};
    EXPECT_EQ(comm.SetTime(&time), '>');
    EXPECT_EQ(comm.SetTime(nullptr), 0);
    comm.Close();
    EXPECT_EQ(confirmed, "0f:07:09:0d:05:0e");
    const auto lines = kt::received(*board, 13);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[1], "$03I|    1.5| 1.4567|\r\n");
    EXPECT_EQ(lines[4], "$08I|    0.9|    1.1|\r\n");
    EXPECT_EQ(lines[7], "#05A06:30/22:00\r\n");
    EXPECT_EQ(lines[10], "T\r\n");
    EXPECT_EQ(lines[12], "0f:07:09:0d:05:0e");
}

TEST_F(ExportedLibraryTest, SilentBoardIsNotReportedAsAccepted)
{
    board->setFaults({.silent = true});
    CComm comm;
    ASSERT_EQ(comm.Open(BoardPort, 9600), 0);
    EXPECT_FALSE(comm.SetCurrency(std::string("usd"), std::string("b"), 1.5, 12));
    comm.Close();
    EXPECT_EQ(kt::received(*board, 5), std::vector<std::string>(5, "as\r\n"));
}

// One board's client: the public class, or the C interface on a handle of its own.
struct Client {
    std::function<int(int port)> open;
    std::function<int(int line, double first, double second)> setCurrency;
    std::function<int(int address, int hours)> setIntensity;
    std::function<int()> test;
    std::function<int(int minute, int second)> setTime;
    std::function<void()> close;
};

Client cppClient(CComm &comm, std::vector<std::string> &confirmed)
{
    comm.SetTimeConfirmation([&confirmed](const std::string &text) { confirmed.push_back(text); });
    return {[&comm](int port) { return comm.Open(port, 9600); },
            [&comm](int line, double first, double second) { return int(comm.SetCurrency(line, 0, first, second)); },
            [&comm](int address, int hours) { return int(comm.SetIntensity(address, 2, hours, 0, 22, 30)); },
            [&comm] { return int(comm.Test()); },
            [&comm](int minute, int second) {
                SYSTEMTIME time{2024, 12, 0, 31, 23, static_cast<unsigned short>(minute), static_cast<unsigned short>(second), 0};
                return int(comm.SetTime(&time));
            },
            [&comm] { comm.Close(); }};
}

Client cClient(kestrix_comm *comm, std::vector<std::string> &confirmed)
{
    kestrix_comm_set_time_confirmation(
        comm, [](const char *text, void *list) { static_cast<std::vector<std::string> *>(list)->push_back(text); },
        &confirmed);
    return {[comm](int port) { return kestrix_comm_open(comm, port, 9600); },
            [comm](int line, double first, double second) {
                return kestrix_comm_set_currency(comm, line, 0, first, second);
            },
            [comm](int address, int hours) { return kestrix_comm_set_intensity(comm, address, 2, hours, 0, 22, 30); },
            [comm] { return kestrix_comm_test(comm); },
            [comm](int minute, int second) {
                const kestrix_time time{2024, 12, 31, 23, minute, second};
                return kestrix_comm_set_time(comm, &time);
            },
            [comm] { kestrix_comm_close(comm); }};
}

// Four boards, each driven by a thread of its own at the same time, the last one through the C
// interface: every board receives exactly its own lines in the order they were sent, and every
// operation is accepted.
TEST_F(ExportedLibraryTest, EachOfFourBoardsOnItsOwnThreadGetsOnlyItsOwnLines)
{
    constexpr int Boards = 4;
    constexpr int Rounds = 6;
    std::vector<std::unique_ptr<kestrix::sim::BoardSim>> more;
    std::vector<kestrix::sim::BoardSim *> boards{board.get()};
    for (int port = BoardPort + 1; port <= BoardPort + Boards - 1; ++port) {
        more.push_back(kt::startBoardOn(port));
        ASSERT_TRUE(more.back());
        boards.push_back(more.back().get());
    }

    struct Outcome {
        std::vector<int> answers;
        std::vector<std::string> confirmed;
    };
    std::array<Outcome, Boards> outcomes;
    std::vector<std::thread> running;
    for (int i = 0; i < Boards; ++i) {
        running.emplace_back([i, &own = outcomes[size_t(i)]] {
            CComm comm;
            kestrix_comm *handle = i == Boards - 1 ? kestrix_comm_new() : nullptr;
            const Client client = i == Boards - 1 ? cClient(handle, own.confirmed) : cppClient(comm, own.confirmed);
            own.answers.push_back(client.open(BoardPort + i));
            for (int round = 0; round < Rounds; ++round) {
                own.answers.push_back(client.setCurrency(i, round + 0.5, 10 + i));
                own.answers.push_back(client.setIntensity(10 + i, round));
                own.answers.push_back(client.test());
                own.answers.push_back(client.setTime(i, round));
            }
            client.close();
            kestrix_comm_free(handle);
        });
    }
    for (std::thread &thread : running)
        thread.join();

    for (int i = 0; i < Boards; ++i) {
        std::vector<std::string> lines;
        std::vector<std::string> times;
        for (int round = 0; round < Rounds; ++round) {
            const std::string time = QString::asprintf("%02x:%02x:17:1f:0c:18", round, i).toStdString();
            for (const QString &line : {QString::asprintf("$%02dU|%7.1f|%7.1f|\r\n", i, round + 0.5, 10.0 + i),
                                        QString::asprintf("#%02dA%02d:00/22:30\r\n", 10 + i, round),
                                        QStringLiteral("T\r\n")}) {
                lines.insert(lines.end(), {"as\r\n", line.toStdString(), "sa\r\n"});
            }
            lines.push_back(time);
            times.push_back(time);
        }
        const Outcome &own = outcomes[size_t(i)];
        std::vector<int> accepted(1 + 4 * Rounds, '>');
        accepted.front() = 0;
        EXPECT_EQ(own.answers, accepted) << "board " << i + 1;
        EXPECT_EQ(own.confirmed, times) << "board " << i + 1;
        EXPECT_EQ(kt::received(*boards[size_t(i)], lines.size()), lines) << "board " << i + 1;
    }
}

// A NULL handle, as kestrix_comm_new gives when memory runs out, gets each function's failure
// value; the functions without a result only must not crash.
TEST(ExportedCInterface, ANullHandleGivesEachFunctionsFailureValue)
{
    struct Call {
        const char *name;
        std::function<int()> run;
        int failure;
    };
    const kestrix_time time{2014, 5, 13, 9, 7, 15};
    const auto ignore = [](const char *, void *) {};
    const Call calls[] = {
        {"open", [] { return kestrix_comm_open(nullptr, BoardPort, 9600); }, -2},
        {"set_currency", [] { return kestrix_comm_set_currency(nullptr, 3, 1, 1.5, 1.4567); }, 0},
        {"set_currency_code", [] { return kestrix_comm_set_currency_code(nullptr, "EUR", "I", 1.5, 2); }, 0},
        {"set_intensity", [] { return kestrix_comm_set_intensity(nullptr, 5, 2, 6, 30, 22, 0); }, 0},
        {"test", [] { return kestrix_comm_test(nullptr); }, 0},
        {"set_time", [&time] { return kestrix_comm_set_time(nullptr, &time); }, 0},
        {"close", [] { return kestrix_comm_close(nullptr), 0; }, 0},
        {"set_time_confirmation", [&ignore] { return kestrix_comm_set_time_confirmation(nullptr, ignore, nullptr), 0; }, 0},
        {"free", [] { return kestrix_comm_free(nullptr), 0; }, 0},
    };
    for (const Call &call : calls)
        EXPECT_EQ(call.run(), call.failure) << call.name;
}

// Only CComm's members and the C functions leave the library: no Qt, none of our internals.
TEST(ExportedLibrary, ExportsOnlyThePublicInterface)
{
    QProcess nm;
    nm.start(QStringLiteral("nm"), {QStringLiteral("-DC"), QStringLiteral("--defined-only"), libraryPath()});
    ASSERT_TRUE(nm.waitForFinished(30000));
    ASSERT_EQ(nm.exitCode(), 0) << nm.readAllStandardError().toStdString();
    const QStringList lines = QString::fromLocal8Bit(nm.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    static const QRegularExpression publicSymbol(
        QStringLiteral("^[0-9a-f]+ [TVWRDB] (CComm::|vtable for CComm$|typeinfo for CComm$|typeinfo name for CComm$"
                       "|kestrix_comm_)"));
    int members = 0;
    for (const QString &line : lines) {
        EXPECT_TRUE(publicSymbol.match(line).hasMatch()) << line.toStdString();
        members += line.contains(QLatin1String("CComm::")) ? 1 : 0;
    }
    EXPECT_GE(members, 10);
    EXPECT_TRUE(lines.join('\n').contains(QLatin1String("kestrix_comm_set_currency_code")));
}

TEST_F(ExportedLibraryTest, PythonDrivesTheBoardThroughTheCInterface)
{
#ifdef KESTRIX_SANITIZED
    GTEST_SKIP() << "a checked library cannot be loaded into an unchecked Python";
#endif
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral(KESTRIX_CTYPES_SCRIPT), libraryPath()});
    ASSERT_TRUE(python.waitForFinished(60000));
    const QString out = QString::fromUtf8(python.readAllStandardOutput());
    EXPECT_EQ(python.exitCode(), 0) << out.toStdString() << python.readAllStandardError().toStdString();
    EXPECT_EQ(out, QStringLiteral("open 0\ncurrency 62\ncode 1\nunknown code 0\nintensity 62\ntest 62\n"
                                  "confirmed 0f:07:09:0d:05:0e\ntime 62\n"));
    const auto lines = kt::received(*board, 13);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[1], "$03I|    1.5| 1.4567|\r\n");
    EXPECT_EQ(lines[4], "$00B|    1.5|   12.0|\r\n");
    EXPECT_EQ(lines[7], "#05U\r\n");
    EXPECT_EQ(lines[12], "0f:07:09:0d:05:0e");
}

} // namespace
