#include "platform/KernelLinks.h"

#include "platform/NetNamespace.h"
#include "traffic/LinkProbe.h"

#include <chrono>
#include <gtest/gtest.h>
#include <linux/if.h>
#include <set>
#include <sstream>

using namespace std::chrono_literals;
using platform::RasHandle;
using test::FrameOverhead;

namespace {

struct Reading {
    RasHandle handle;
    bool connected;
    std::uint32_t received;
    std::uint32_t transmitted;
    std::uint32_t durationMs;
};

// PPP devices report no operational state.
TEST(KernelLinks, ConnectedWhenUpRunningAndOperational)
{
    using Row = std::tuple<unsigned, std::uint8_t, bool>;
    for (const auto& [flags, state, connected] :
         {Row{IFF_UP | IFF_RUNNING, IF_OPER_UP, true},
          Row{IFF_UP | IFF_RUNNING, IF_OPER_DOWN, false},
          Row{IFF_UP | IFF_RUNNING, IF_OPER_UNKNOWN, true}, Row{IFF_UP, IF_OPER_UNKNOWN, false}})
        EXPECT_EQ(platform::IsConnected({0, flags, state}), connected) << flags << " " << +state;
}

// With a monotonic clock the test moves by hand. The byte counters are the kernel's since the
// connection was first seen: a new connection after a drop, or a link made anew between two polls
// (same name, new index), starts from zero.
TEST(KernelLinks, ProbeFollowsTheLinkAndCountsTheKernelsBytesSinceEachConnectionBegan)
{
    if (!test::CanCreateNamespaces())
        GTEST_SKIP() << test::NeedsRoot;
    const test::Wan wan;
    wan.home.EnterThisThread();
    std::chrono::steady_clock::time_point now;
    platform::KernelLinks links{[&now] { return now; }};
    const auto probe = [&] { // as the watch cycle probes
        Reading reading{FindConnection(links, "wan0", true), false, 0, 0, 0};
        reading.connected = ReadStatistics(links, reading.handle, reading.received,
                                           reading.transmitted, reading.durationMs);
        return reading;
    };
    const auto state = [&] { // found in any state
        std::uint32_t state = 0;
        EXPECT_EQ(links.GetConnectStatus(FindConnection(links, "wan0", false), state), 0u);
        return state;
    };
    wan.SendOut(3, 100); // before the program looks
    const Reading first = probe();
    EXPECT_TRUE(first.connected);
    EXPECT_EQ(first.received + first.transmitted + first.durationMs, 0u);
    wan.SendOut(30, 1000);
    wan.SendIn(20, 500);
    now += 1500ms;
    const Reading later = probe();
    EXPECT_EQ(later.transmitted, 30 * (1000 + FrameOverhead));
    EXPECT_EQ(later.received, 20 * (500 + FrameOverhead));
    EXPECT_EQ(later.durationMs, 1500u);

    // wan0 stays up without a carrier: being dialled at first, a dead line after a while
    wan.isp.Check("ip link set isp0 down");
    ASSERT_TRUE(wan.WaitForCarrier(false));
    EXPECT_FALSE(probe().connected);
    EXPECT_EQ(state(), platform::RasConnectingState);
    now += platform::KernelLinks::CarrierWait;
    EXPECT_EQ(state(), platform::RasDisconnectedState);
    now += 1000ms;
    wan.isp.Check("ip link set isp0 up");
    ASSERT_TRUE(wan.WaitForCarrier(true));
    wan.SendOut(5, 200);
    // The kernel kept counting across the drop. The connection began since the last poll: its
    // first bytes took that long, not no time at all.
    const Reading reconnected = probe();
    EXPECT_TRUE(reconnected.connected);
    EXPECT_EQ(reconnected.transmitted, 5 * (200 + FrameOverhead));
    EXPECT_EQ(reconnected.durationMs, 1000u);
    now += 700ms;
    EXPECT_EQ(probe().durationMs, 1700u);

    wan.home.Check("ip link delete wan0");
    wan.Connect();
    now += 300ms;
    const Reading recreated = probe();
    EXPECT_NE(recreated.handle, first.handle);
    EXPECT_EQ(recreated.durationMs, 300u);

    // Dialling a missing link, and hanging up without the right, fail.
    std::uint32_t error = 0;
    EXPECT_FALSE(links.DialDlg("nosuch0", error));
    EXPECT_EQ(error, std::uint32_t{ENODEV});
    {
        const test::WithoutNetAdmin withoutTheRight;
        EXPECT_EQ(links.HangUp(recreated.handle), std::uint32_t{EPERM});
    }
    EXPECT_TRUE(wan.IsUp());
    wan.home.Check("ip link set wan0 down");
    EXPECT_EQ(FindConnection(links, "wan0", false), InvalidConnection);
}

// Hundreds of links span many dump datagrams; every link but loopback is an entry; 21 active ones
// hide the watched link.
TEST(KernelLinks, ManyLinksAreAllSeenAndTwentyOneActiveHideTheWatchedOne)
{
    if (!test::CanCreateNamespaces())
        GTEST_SKIP() << test::NeedsRoot;
    const test::NetNamespace crowd;
    crowd.Check("for i in $(seq 150); do echo link add name v${i}a type veth peer name v${i}b;"
                " done | ip -batch -");
    std::istringstream listed(crowd.Check("ls /sys/class/net"));
    std::set<std::string> expected{std::istream_iterator<std::string>(listed), {}};
    expected.erase("lo");
    ASSERT_EQ(expected.size(), 300u);

    crowd.EnterThisThread();
    platform::KernelLinks links;
    std::vector<platform::RasEntryName> entries(400);
    std::size_t count = 0;
    ASSERT_EQ(links.EnumEntries(entries, count), 0u);
    std::set<std::string> names;
    for (std::size_t i = 0; i < count; ++i)
        names.insert(entries[i].name);
    EXPECT_EQ(names, expected);
    EXPECT_EQ(links.EnumEntries(std::span(entries).first(299), count),
              platform::RasErrorBufferTooSmall);
    EXPECT_EQ(count, 0u);

    crowd.Check("for i in $(seq 20); do ip link set v${i}a up; done"); // with lo: 21 active
    EXPECT_EQ(FindConnection(links, "v1a", false), InvalidConnection);
    crowd.Check("ip link set v20a down");
    EXPECT_NE(FindConnection(links, "v1a", false), InvalidConnection);
}

} // namespace
