// The exported library as another program uses it: the public CComm, the symbols it exports,
// and its C interface loaded from Python.
#include "support/process_support.h"
#include "support/test_support.h"

#include <kestrix/comm.h>
#include <kestrix/comm_c.h>

#include <QProcess>
#include <QRegularExpression>
#include <functional>
#include <gtest/gtest.h>

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
