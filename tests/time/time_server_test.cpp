// Setting the clock from a time server: the conversion of the 32-bit answer, server addresses,
// the client against the simulated time server (short replies, strangers, silence, late answers,
// two requests), and the upload's frames.
#include "support/test_support.h"

#include "comm/operation.h"
#include "time/time_server.h"
#include "time/time_server_client.h"
#include "time_server_sim.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::received;
using kt::Sm7;
using kt::TestFrame;
namespace Timeout = kt::Timeout;

namespace {

ClockValues fields(const char *s, const char *m, const char *h, const char *w, const char *d, const char *mo, const char *y)
{
    return {s, m, h, w, d, mo, y};
}

TEST(ServerTime, ConvertsToTheLocalCalendarOfTheShiftedInstant)
{
    EXPECT_EQ(serverClockFields(3600000000u, 1), fields("00", "00", "17", "03", "29", "01", "14"));
    EXPECT_EQ(serverClockFields(3155673600u, 0), fields("00", "00", "00", "06", "01", "01", "00")) << "2000, a Saturday";
    EXPECT_EQ(serverClockFields(3287044800u, 0), fields("00", "00", "12", "07", "29", "02", "04")) << "a Sunday is 07";
    EXPECT_EQ(serverClockFields(3287044800u + 86400, 0), fields("00", "00", "12", "01", "01", "03", "04"));
    EXPECT_EQ(serverClockFields(3192393599u + 1, 0), fields("00", "00", "00", "04", "01", "03", "01"))
        << "2001-02-28 is followed by 03-01";
    // The date follows the shifted hour: 23:00 UTC +1 is the next day, 00:00 UTC -5 the day before.
    EXPECT_EQ(serverClockFields(4007746800u, 1), fields("00", "00", "00", "05", "01", "01", "27"));
    EXPECT_EQ(serverClockFields(4007750400u, -5), fields("00", "00", "19", "04", "31", "12", "26"));
}

TEST(ServerTime, ValuesBelowTwoToTheThirtyFirstBelongToTheNextEra)
{
    EXPECT_EQ(serverTimeUtc(0), QDateTime(QDate(2036, 2, 7), QTime(6, 28, 16), Qt::UTC));
    EXPECT_EQ(serverTimeUtc(4294967295u), QDateTime(QDate(2036, 2, 7), QTime(6, 28, 15), Qt::UTC));
    EXPECT_EQ(serverClockFields(2021563903u, 0), fields("59", "59", "23", "07", "28", "02", "00"));
    EXPECT_EQ(serverClockFields(2021563903u + 1, 0), fields("00", "00", "00", "01", "01", "03", "00"))
        << "2100 is no leap year";
}

TEST(ServerTime, AddressesMayCarryAPort)
{
    const auto parsed = [](const char *text) { return parseServerAddress(text); };
    EXPECT_EQ(parsed("time.example.org")->port, 37);
    EXPECT_EQ(parsed("127.0.0.1:3737")->port, 3737);
    EXPECT_EQ(parsed("127.0.0.1:3737")->host, "127.0.0.1");
    EXPECT_EQ(parsed("[::1]:3737")->host, "::1");
    EXPECT_EQ(parsed("[::1]:3737")->port, 3737);
    EXPECT_EQ(parsed("::1")->host, "::1");
    EXPECT_EQ(parsed("::1")->port, 37);
    EXPECT_EQ(parsed("zeit.bücher.de:123")->host, "zeit.bücher.de") << "an international name";
    EXPECT_EQ(parsed("ntp_1.local.")->port, 37);
}

// An address that cannot be asked says what is wrong with it, naming the part.
TEST(ServerTime, AddressesThatCannotBeAskedNameTheProblem)
{
    struct Case {
        const char *text;
        const char *problem;
    };
    const Case cases[] = {
        {"", "it names no host"},
        {":37", "it names no host"},
        {"host:", "the port \"\" is not a number from 1 to 65535"},
        {"host:0", "the port \"0\" is not a number from 1 to 65535"},
        {"host:70000", "the port \"70000\" is not a number from 1 to 65535"},
        {"[::1", "\"[::1\" is not a host name or an IP address"},
        {"[::1]x", "\"[::1]x\" is not a host name or an IP address"},
        {"[time.example.org]:37", "\"time.example.org\" is not a host name or an IP address"},
        {"1.2.3.4:37:38", "\"1.2.3.4:37\" is not a host name or an IP address"},
        {"127.0.0.1:3737:1", "\"127.0.0.1:3737\" is not a host name or an IP address"},
        {"http://127.0.0.1:3737", "\"http://127.0.0.1\" is not a host name or an IP address"},
        {"no such host!:3737", "\"no such host!\" is not a host name or an IP address"},
        {"-host-.org", "\"-host-.org\" is not a host name or an IP address"},
    };
    kt::ScratchDataDir data;   // the language tables
    for (const Case &row : cases) {
        QString problem;
        EXPECT_FALSE(parseServerAddress(row.text, &problem)) << row.text;
        EXPECT_EQ(problem, QStringLiteral("The server address \"%1\" is not valid: %2").arg(row.text, row.problem));
    }
}

// The client against the simulated time server on 127.0.0.1, answering 3600000000. Every
// request the client sends is one zero byte.
class TimeServerClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(server.start("127.0.0.1", 0, &error)) << error;
        server.setSeconds(sim::SampleServerSeconds);
    }

    void TearDown() override
    {
        for (const std::string &request : server.requests())
            EXPECT_EQ(request, std::string(1, '\0'));
    }

    ServerAddress address() const { return {QString::fromStdString(server.host()), server.port()}; }
    bool waitForEnd() { return QTest::qWaitFor([this] { return client.outstanding() == 0; }, Timeout::ServerExchange); }

    sim::TimeServerSim server;
    TimeServerClient client;
    QSignalSpy replies{&client, &TimeServerClient::replied};
    QSignalSpy failures{&client, &TimeServerClient::failed};
};

TEST_F(TimeServerClientTest, EachRepliedRequestGivesItsSecondsOnce)
{
    client.request(address());
    client.request(address());
    ASSERT_TRUE(waitForEnd());
    ASSERT_EQ(replies.size(), 2);
    EXPECT_EQ(replies[0][0].value<std::uint32_t>(), 3600000000u);
    EXPECT_EQ(failures.size(), 0);
    EXPECT_EQ(server.requestCount(), 2);
}

TEST_F(TimeServerClientTest, AShortReplyIsTheServerUnavailable)
{
    server.setReply(std::string("\xd6\x93\xa4", 3));
    client.request(address());
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(replies.size(), 0);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0][0].value<TimeServerClient::Failure>(), TimeServerClient::Failure::Unavailable);
}

TEST_F(TimeServerClientTest, RepliesFromOtherPortsAreIgnoredAndSilenceTimesOut)
{
    std::string error;
    ASSERT_TRUE(server.answerFrom("127.0.0.1", 0, &error)) << error;
    client.request(address(), Timeout::ShortServerReply);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(replies.size(), 0) << "a datagram from another port sets nothing";
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0][0].value<TimeServerClient::Failure>(), TimeServerClient::Failure::Unavailable);
}

TEST_F(TimeServerClientTest, RepliesFromAnotherAddressAreIgnored)
{
    if (!server.answerFrom("127.0.0.2", server.port()))   // same port, another address
        GTEST_SKIP() << "127.0.0.2 cannot be bound here";
    client.request(address(), Timeout::ShortServerReply);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(replies.size(), 0);
    EXPECT_EQ(failures.size(), 1);
}

// An answer counts however late it comes within the request's time-out, and not after it; the
// time-out never ends the wait early (a coarse timer could end a 3 s wait at 2.85 s).
TEST_F(TimeServerClientTest, LateAnswersCountOnlyWithinTheTimeOut)
{
    struct Case {
        const char *name;
        std::chrono::milliseconds delay;
        int timeoutMs;
        bool replied;
        qint64 soonestEndMs;   // a reply cannot come before the server sends it, a failure not before the time-out
    };
    const Case cases[] = {
        {"late, in time", std::chrono::milliseconds(300), TimeServerClient::DefaultTimeoutMs, true, 300},
        {"just before the time-out", std::chrono::milliseconds(2900), 3000, true, 2900},
        {"after the time-out", std::chrono::milliseconds(3000), 2000, false, 2000},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        replies.clear();
        failures.clear();
        server.setAnswerDelay(row.delay);
        QElapsedTimer elapsed;
        elapsed.start();
        client.request(address(), row.timeoutMs);
        ASSERT_TRUE(waitForEnd());
        EXPECT_EQ(replies.size(), row.replied ? 1 : 0);
        EXPECT_EQ(failures.size(), row.replied ? 0 : 1);
        EXPECT_GE(elapsed.elapsed(), row.soonestEndMs);
    }
}

TEST_F(TimeServerClientTest, WorksOverIpv6)
{
    sim::TimeServerSim ipv6;
    if (!ipv6.start("::1"))
        GTEST_SKIP() << "no IPv6 loopback here";
    ipv6.setSeconds(sim::SampleServerSeconds);
    client.request(*parseServerAddress(QString::fromStdString(ipv6.address())));
    ASSERT_TRUE(waitForEnd());
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(replies[0][0].value<std::uint32_t>(), 3600000000u);
    EXPECT_EQ(ipv6.requests(), std::vector<std::string>{std::string(1, '\0')});
}

TEST(ServerTimeUpload, SendsTheSevenRegistersWithTenMillisecondsAndNoDls)
{
    kt::ScratchDataDir data;
    auto board = kt::startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    RecordingSleeper sleeper;
    RecordingReporter reporter;
    auto upload = [&](std::uint32_t seconds, int offset) {
        const BoardJob<NoData> job = serverTimeUploadJob(serverClockFields(seconds, offset), serverTimeForm(false));
        Operation operation({3, 9600}, reporter, job.texts.form, sleeper);
        return operation.run(job).ending.outcome;
    };
    EXPECT_EQ(upload(3600000000u, 1), Outcome::Completed);
    EXPECT_EQ(received(*board, 10), (std::vector<std::string>{Sm7, TestFrame, Sm7, "W00000\r", "W00100\r", "W00217\r",
                                                              "W00303\r", "W00429\r", "W00501\r", "W00614\r"}));
    const std::vector<int> pauses = sleeper.pauses();
    EXPECT_EQ(std::vector<int>(pauses.end() - 14, pauses.end()),
              (std::vector<int>{150, 10, 150, 10, 150, 10, 150, 10, 150, 10, 150, 10, 150, 10}));

    board->setFaults({.silent = true});
    board->clearFrames();
    EXPECT_EQ(upload(0, 0), Outcome::CommunicationFailed);
    EXPECT_EQ(board->frameTexts(), (std::vector<std::string>{Sm7, TestFrame}));
}

// A TimeZone that is no zone is used as the nearest zone, or 0 when it is no number, and says so.
TEST(ServerTimeZone, IsReadLimitedWithAWarningAndStored)
{
    struct Case {
        const char *stored;
        int offset;
        const char *used;   // the zone a warning names; none when the value is a zone
    };
    const Case cases[] = {
        {nullptr, 0, nullptr}, {"-5", -5, nullptr}, {"12", 12, nullptr}, {"13", 12, "UTC+12"},
        {"40", 12, "UTC+12"},  {"-13", -12, "UTC-12"}, {"abc", 0, "UTC+0"},
    };
    kt::ScratchDataDir data;
    for (const Case &row : cases) {
        SCOPED_TRACE(row.stored ? row.stored : "absent");
        data.writeConfig(row.stored ? QStringLiteral("[Settings]\nTimeZone=%1\n").arg(row.stored) : QString());
        QString warning;
        EXPECT_EQ(configuredTimeZone(&warning), row.offset);
        EXPECT_EQ(warning, row.used ? QStringLiteral("config.ini [Settings] TimeZone \"%1\" is not a time zone from "
                                                     "-12 to +12 hours; %2 is used.").arg(row.stored, row.used)
                                    : QString());
    }
    ASSERT_TRUE(storeTimeZone(2));
    EXPECT_EQ(configuredTimeZone(), 2);
}

} // namespace
