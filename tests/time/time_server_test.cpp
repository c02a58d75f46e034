// Setting the clock from a time server: the conversion of the 32-bit answer, server addresses,
// the client against a local responder (short replies, strangers, silence, two requests), and
// the upload's frames.
#include "support/test_support.h"

#include "time/time_server.h"
#include "time/time_server_client.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::received;
using kt::Sm7;
using kt::TestFrame;

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
    for (const char *bad : {"", "host:", "host:0", "host:70000", "[::1", "[::1]x", ":37"})
        EXPECT_FALSE(parsed(bad)) << bad;
}

// A Time Protocol responder on a free local port that answers what it is told to.
class Responder {
public:
    explicit Responder(QHostAddress address = QHostAddress::LocalHost)
    {
        EXPECT_TRUE(socket.bind(address, 0));
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] { answer(); });
    }

    ServerAddress server() const { return {socket.localAddress().toString(), socket.localPort()}; }

    QByteArray reply = QByteArray::fromHex("d693a400");   // 3600000000
    QUdpSocket *answerFrom = nullptr;                     // another socket that answers instead
    bool silent = false;
    int requests = 0;

private:
    void answer()
    {
        while (socket.hasPendingDatagrams()) {
            const QNetworkDatagram request = socket.receiveDatagram();
            ++requests;
            EXPECT_EQ(request.data(), QByteArray(1, '\0'));
            if (!silent)
                (answerFrom ? answerFrom : &socket)->writeDatagram(reply, request.senderAddress(), request.senderPort());
        }
    }

    QUdpSocket socket;
};

class TimeServerClientTest : public ::testing::Test {
protected:
    bool waitForEnd() { return QTest::qWaitFor([this] { return client.outstanding() == 0; }, 15000); }

    TimeServerClient client;
    QSignalSpy replies{&client, &TimeServerClient::replied};
    QSignalSpy failures{&client, &TimeServerClient::failed};
};

TEST_F(TimeServerClientTest, EachRepliedRequestGivesItsSecondsOnce)
{
    Responder responder;
    client.request(responder.server());
    client.request(responder.server());
    ASSERT_TRUE(waitForEnd());
    ASSERT_EQ(replies.size(), 2);
    EXPECT_EQ(replies[0][0].value<std::uint32_t>(), 3600000000u);
    EXPECT_EQ(failures.size(), 0);
    EXPECT_EQ(responder.requests, 2);
}

TEST_F(TimeServerClientTest, AShortReplyIsTheServerUnavailable)
{
    Responder responder;
    responder.reply = QByteArray::fromHex("d693a4");
    client.request(responder.server());
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(replies.size(), 0);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0][0].value<TimeServerClient::Failure>(), TimeServerClient::Failure::Unavailable);
}

TEST_F(TimeServerClientTest, RepliesFromOtherPortsAreIgnoredAndSilenceTimesOut)
{
    Responder responder;
    QUdpSocket stranger;
    ASSERT_TRUE(stranger.bind(QHostAddress::LocalHost, 0));
    responder.answerFrom = &stranger;
    client.request(responder.server(), 500);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(replies.size(), 0) << "a datagram from another port sets nothing";
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0][0].value<TimeServerClient::Failure>(), TimeServerClient::Failure::Unavailable);
}

TEST_F(TimeServerClientTest, RepliesFromAnotherAddressAreIgnored)
{
    Responder responder;
    QUdpSocket stranger;
    if (!stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), responder.server().port))
        GTEST_SKIP() << "127.0.0.2 cannot be bound here";
    responder.answerFrom = &stranger;   // same port, another address
    client.request(responder.server(), 500);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(replies.size(), 0);
    EXPECT_EQ(failures.size(), 1);
}

TEST_F(TimeServerClientTest, WorksOverIpv6)
{
    Responder responder(QHostAddress::LocalHostIPv6);
    if (responder.server().port == 0)
        GTEST_SKIP() << "no IPv6 loopback here";
    client.request(*parseServerAddress(QStringLiteral("[::1]:%1").arg(responder.server().port)));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(replies.size(), 1);
}

TEST(ServerTimeUpload, SendsTheSevenRegistersWithTenMillisecondsAndNoDls)
{
    kt::ScratchDataDir data;
    auto board = kt::startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    RecordingSleeper sleeper;
    RecordingReporter reporter;
    EXPECT_EQ(uploadServerTime(serverClockFields(3600000000u, 1), {3, 9600}, reporter, sleeper), Outcome::Completed);
    EXPECT_EQ(received(*board, 10), (std::vector<std::string>{Sm7, TestFrame, Sm7, "W00000\r", "W00100\r", "W00217\r",
                                                              "W00303\r", "W00429\r", "W00501\r", "W00614\r"}));
    const std::vector<int> pauses = sleeper.pauses();
    EXPECT_EQ(std::vector<int>(pauses.end() - 14, pauses.end()),
              (std::vector<int>{150, 10, 150, 10, 150, 10, 150, 10, 150, 10, 150, 10, 150, 10}));

    board->setFaults({.silent = true});
    board->clearFrames();
    EXPECT_EQ(uploadServerTime(serverClockFields(0, 0), {3, 9600}, reporter, sleeper), Outcome::CommunicationFailed);
    EXPECT_EQ(board->frameTexts(), (std::vector<std::string>{Sm7, TestFrame}));
}

TEST(ServerTimeZone, IsReadLimitedAndStored)
{
    kt::ScratchDataDir data;
    EXPECT_EQ(configuredTimeZone(), 0);
    data.writeConfig("[Settings]\nTimeZone=-5\n");
    EXPECT_EQ(configuredTimeZone(), -5);
    data.writeConfig("[Settings]\nTimeZone=40\n");
    EXPECT_EQ(configuredTimeZone(), 12);
    ASSERT_TRUE(storeTimeZone(2));
    EXPECT_EQ(configuredTimeZone(), 2);
}

} // namespace
