#include "net/NetServers.h"
#include "net/SntpPacket.h"

#include <QAction>

using namespace std::chrono_literals;

namespace {

using Answer = test::SntpResponder::Answer;
using Bytes = test::SntpResponder::Bytes;
using Datagram = test::SntpResponder::Datagram;
using TimePoint = std::chrono::system_clock::time_point;

const TimePoint ServerTime = std::chrono::sys_days(std::chrono::year(2031) / 5 / 17) + 11h;

// Answers with a valid reply telling `time`.
Answer Tells(TimePoint time)
{
    return [time](const Bytes& request) {
        return std::vector<Datagram>{{test::SntpResponder::Reply(request, time)}};
    };
}

const Answer Silence = [](const Bytes&) { return std::vector<Datagram>{}; };

class TimeSync : public test::NetServers {
protected:
    void Synchronize() { form->findChild<QAction*>("mimUpdateNTP")->trigger(); }
};

// A reply spoilt in one way, sent just before a valid one telling ServerTime.
struct SpoiltReply {
    const char* name;
    std::function<void(Datagram&)> spoil;
    bool synchronised; // false: the spoilt reply ends the attempt
};
void PrintTo(const SpoiltReply& row, std::ostream* out)
{
    *out << row.name;
}

class SntpReplyChecks : public TimeSync, public ::testing::WithParamInterface<SpoiltReply> {};

} // namespace

// Timestamps with the top bit clear lie after the roll-over of 7 February 2036.
TEST(NtpTimestamp, ConvertsAcrossThe2036RollOver)
{
    const std::pair<std::uint64_t, std::int64_t> rows[] = {
        // NTP seconds and fraction, Unix milliseconds
        {0x83AA7E80'00000000, 0},
        {0x83AA7E80'80000000, 500},
        {0x80000000'00000000, -61'505'152'000}, // 1968
        {0xFFFFFFFF'00000000, 2'085'978'495'000},
        {0x00000000'00000000, 2'085'978'496'000}, // 2036-02-07 06:28:16
        {0x7FFFFFFF'00000000, 4'233'462'143'000}, // 2104
    };
    for (const auto& [ntp, unixMs] : rows) {
        EXPECT_EQ(net::FromNtp(ntp), TimePoint(std::chrono::milliseconds(unixMs))) << unixMs;
        EXPECT_EQ(net::ToNtp(TimePoint(std::chrono::milliseconds(unixMs))), ntp) << unixMs;
    }
}

TEST_P(SntpReplyChecks, OnlyAnAnswerToOurRequestSetsTheClock)
{
    StartSntp({[](const Bytes& request) {
        Datagram spoilt{test::SntpResponder::Reply(request, ServerTime - 1h)};
        GetParam().spoil(spoilt);
        return std::vector<Datagram>{spoilt, {test::SntpResponder::Reply(request, ServerTime)}};
    }});
    EXPECT_EQ(sntp->SyncTime("127.0.0.1"), GetParam().synchronised);
    EXPECT_EQ(systemTime.set,
              GetParam().synchronised ? std::vector{ServerTime} : std::vector<TimePoint>{});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SntpReplyChecks,
    ::testing::Values(
        SpoiltReply{"WrongOriginate", [](Datagram& d) { d.bytes[31] ^= 1; }, true},
        SpoiltReply{"WrongSourcePort", [](Datagram& d) { d.fromOtherPort = true; }, true},
        SpoiltReply{"ClientMode", [](Datagram& d) { d.bytes[0] = 4 << 3 | 3; }, true},
        SpoiltReply{"Version2", [](Datagram& d) { d.bytes[0] = 2 << 3 | 4; }, true},
        SpoiltReply{"LeapAlarm", [](Datagram& d) { d.bytes[0] |= 3 << 6; }, true},
        SpoiltReply{"Stratum16", [](Datagram& d) { d.bytes[1] = 16; }, true},
        SpoiltReply{"NoTransmitTime", [](Datagram& d) { std::fill_n(d.bytes.begin() + 40, 8, 0); },
                    true},
        SpoiltReply{"Bytes47", [](Datagram& d) { d.bytes.resize(47); }, true},
        SpoiltReply{"KissOfDeath", [](Datagram& d) { d.bytes[1] = 0; }, false}),
    [](const auto& info) { return std::string(info.param.name); });

// The server's time is taken for the middle of the exchange; a clock within half a second of it
// is left alone.
TEST_F(TimeSync, ClockIsSetToTheServerTimeCorrectedByHalfTheRoundTrip)
{
    systemTime.step = 1s; // sent at 0 s, answer read at 1 s, clock set at 2 s
    StartSntp({Tells(ServerTime), Tells(systemTime.now + 3900ms)});
    EXPECT_TRUE(sntp->SyncTime("127.0.0.1"));
    EXPECT_EQ(systemTime.set, std::vector{ServerTime + 1500ms});
    EXPECT_TRUE(sntp->SyncTime("127.0.0.1")); // 0.4 s ahead of ours at the middle, 3.5 s
    EXPECT_EQ(systemTime.set.size(), 1u);
}

TEST_F(TimeSync, UnreachableServerIsGivenUpAfterFourAttempts)
{
    UseNtpPort(test::ClosedUdpPort());
    settings->KeepAliveHost.Set("127.0.0.1");
    StartWindow();
    const qsizetype before = Protocol().size();
    Synchronize();
    const QString failed = "Time sync failed. Error: Connection refused";
    EXPECT_EQ(Protocol().mid(before),
              QStringList({failed, "Trying again...", failed, "Trying again...", failed,
                           "Trying again...", failed, "Giving up!"}));
    EXPECT_EQ(pause.pauses, std::vector<std::uint32_t>(3, 2000));
}

TEST_F(TimeSync, SilenceAtTheFirstAttemptIsRetried)
{
    StartSntp({Silence, Tells(ServerTime)});
    settings->KeepAliveHost.Set("127.0.0.1");
    StartWindow();
    const qsizetype before = Protocol().size();
    Synchronize();
    EXPECT_EQ(Protocol().mid(before),
              QStringList({"Time Sync: Failed", "Trying again...", "Time Sync: OK"}));
    EXPECT_EQ(pause.pauses, std::vector<std::uint32_t>{2000});
}

// Every KeepAliveTime minutes of connected ticks, the connecting tick counted as the first; a
// run from the menu leaves the period alone, and each run asks the host stored at that moment.
TEST_F(TimeSync, KeepAliveQueriesEveryPeriodWhileConnected)
{
    StartSntp({Tells(ServerTime)});
    settings->KeepAliveEnabled.Set(1);
    settings->KeepAliveTime.Set(10);
    settings->KeepAliveHost.Set("127.0.0.1");
    StartWindow();
    Tick(700);
    EXPECT_TRUE(sntpServer->Requests().empty());
    ConnectLine();
    Tick(599);
    EXPECT_TRUE(sntpServer->Requests().empty());
    Tick();
    EXPECT_EQ(sntpServer->Requests().size(), 1u);
    EXPECT_EQ(Protocol().last(), "Time Sync: OK");
    Tick(300);
    Synchronize();
    settings->KeepAliveHost.Set("::1");
    Tick(299);
    EXPECT_EQ(sntpServer->Requests().size(), 2u);
    Tick();
    EXPECT_EQ(sntpServer->Requests(),
              (std::vector<std::string>{"::ffff:127.0.0.1", "::ffff:127.0.0.1", "::1"}));
}

TEST_F(TimeSync, ChronydOnLoopbackIsAccepted)
{
    if (!StartChronyd())
        GTEST_SKIP() << "chronyd needs root and the chrony package";
    EXPECT_TRUE(sntp->SyncTime("127.0.0.1"));
    ASSERT_EQ(systemTime.set.size(), 1u);
    EXPECT_LT(std::chrono::abs(systemTime.set[0] - std::chrono::system_clock::now()), 1min);
}
