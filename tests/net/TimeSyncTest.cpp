#include "net/NetServers.h"
#include "net/SntpPacket.h"

#include <QAction>

using namespace std::chrono_literals;
using TimePoint = std::chrono::system_clock::time_point;

namespace {

const TimePoint ServerTime = std::chrono::sys_days(std::chrono::year(2031) / 5 / 17) + 11h;

class TimeSync : public test::NetServers {
protected:
    // Runs the synchronisation from the menu and returns the protocol lines it wrote.
    QStringList Synchronize()
    {
        const qsizetype before = Protocol().size();
        form->findChild<QAction*>("mimUpdateNTP")->trigger();
        return Protocol().mid(before);
    }
};

class SntpReplyChecks : public TimeSync, public ::testing::WithParamInterface<const char*> {};

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

// A spoilt reply just before a valid one: ignored, except a kiss-o'-death, which ends the attempt.
TEST_P(SntpReplyChecks, OnlyAnAnswerToOurRequestSetsTheClock)
{
    StartSntp(ServerTime, {QString(GetParam()) + "+good"});
    const bool synchronised = GetParam() != std::string("kiss-of-death");
    EXPECT_EQ(sntp->SyncTime("127.0.0.1"), synchronised);
    EXPECT_EQ(systemTime.set, synchronised ? std::vector{ServerTime} : std::vector<TimePoint>{});
}

INSTANTIATE_TEST_SUITE_P(Spoilt, SntpReplyChecks,
                         ::testing::Values("originate", "other-port", "client-mode", "version-2",
                                           "leap-alarm", "stratum-16", "no-transmit-time",
                                           "47-bytes", "kiss-of-death"));

// The server's time counts for the middle of the exchange; a clock within half a second of it
// is left alone.
TEST_F(TimeSync, ClockIsSetToTheServerTimeCorrectedByHalfTheRoundTrip)
{
    systemTime.step = 1s; // sent at 0 s, answer read at 1 s, clock set at 2 s
    StartSntp(ServerTime, {"good"});
    EXPECT_TRUE(sntp->SyncTime("127.0.0.1"));
    EXPECT_EQ(systemTime.set, std::vector{ServerTime + 1500ms});
    StartSntp(systemTime.now + 900ms, {"good"}); // 0.4 s ahead of ours at the middle, 0.5 s
    EXPECT_TRUE(sntp->SyncTime("127.0.0.1"));
    EXPECT_EQ(systemTime.set.size(), 1u);
}

TEST_F(TimeSync, FailedAttemptsAreRetriedFourTimesAtMost)
{
    UseNtpPort(StartServer("free-udp"));
    settings->KeepAliveHost.Set("127.0.0.1");
    StartWindow();
    const QString refused = "Time sync failed. Error: Connection refused";
    EXPECT_EQ(Synchronize(), QStringList({refused, "Trying again...", refused, "Trying again...",
                                          refused, "Trying again...", refused, "Giving up!"}));
    form.reset(); // before its client is replaced
    StartSntp(ServerTime, {"none", "good"});
    StartWindow();
    EXPECT_EQ(Synchronize(),
              QStringList({"Time Sync: Failed", "Trying again...", "Time Sync: OK"}));
    EXPECT_EQ(pause.pauses, std::vector<std::uint32_t>(4, 2000));
}

// Every KeepAliveTime minutes of connected ticks, the connecting tick counted as the first; a
// run from the menu leaves the period alone, and each run asks the host stored at that moment.
TEST_F(TimeSync, KeepAliveQueriesEveryPeriodWhileConnected)
{
    StartSntp(ServerTime, {"good"});
    settings->KeepAliveEnabled.Set(1);
    settings->KeepAliveTime.Set(10);
    settings->KeepAliveHost.Set("127.0.0.1");
    StartWindow();
    Tick(700);
    ConnectLine();
    Tick(599);
    EXPECT_TRUE(Requests().empty());
    Tick();
    EXPECT_EQ(Protocol().last(), "Time Sync: OK");
    Tick(300);
    Synchronize();
    settings->KeepAliveHost.Set("::1");
    Tick(299);
    EXPECT_EQ(Requests().size(), 2);
    Tick();
    EXPECT_EQ(Requests(), QStringList({"::ffff:127.0.0.1", "::ffff:127.0.0.1", "::1"}));
}

TEST_F(TimeSync, ChronydOnLoopbackIsAccepted)
{
    if (!StartChronyd())
        GTEST_SKIP() << "chronyd needs root and the chrony package";
    EXPECT_TRUE(sntp->SyncTime("127.0.0.1"));
    ASSERT_EQ(systemTime.set.size(), 1u);
    EXPECT_LT(std::chrono::abs(systemTime.set[0] - std::chrono::system_clock::now()), 1min);
}
