#include "platform/KernelLinks.h"

#include "platform/NetNamespace.h"
#include "traffic/LinkProbe.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace platform;
using test::FrameOverhead;

namespace {

// PPP devices report no operational state.
TEST(KernelLinks, ConnectedWhenUpRunningAndOperational)
{
    const unsigned running = IFF_UP | IFF_RUNNING;
    for (const auto& [flags, state, connected] : {std::tuple(running, IF_OPER_UP, true),
                                                  {running, IF_OPER_DOWN, false},
                                                  {running, IF_OPER_UNKNOWN, true},
                                                  {IFF_UP, IF_OPER_UNKNOWN, false}})
        EXPECT_EQ(IsConnected({0, flags, std::uint8_t(state)}), connected) << flags << " " << state;
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
    KernelLinks links{[&now] { return now; }};
    const auto probe = [&] { // as the watch cycle probes: connected, received, sent, duration
        std::uint32_t received = 0, transmitted = 0, durationMs = 0;
        const bool connected = ReadStatistics(links, FindConnection(links, "wan0", true), received,
                                              transmitted, durationMs);
        return std::tuple(connected, received, transmitted, durationMs);
    };
    wan.SendOut(3, 100); // before the program looks
    EXPECT_EQ(probe(), std::tuple(true, 0u, 0u, 0u));
    const RasHandle first = FindConnection(links, "wan0", true);
    wan.SendOut(30, 1000);
    wan.SendIn(20, 500);
    now += 1500ms;
    EXPECT_EQ(probe(),
              std::tuple(true, 20 * (500 + FrameOverhead), 30 * (1000 + FrameOverhead), 1500u));

    // wan0 stays up without a carrier for a second.
    wan.isp.Check("ip link set isp0 down");
    ASSERT_TRUE(wan.WaitForCarrier(false));
    EXPECT_FALSE(std::get<0>(probe()));
    now += 1000ms;
    wan.isp.Check("ip link set isp0 up");
    ASSERT_TRUE(wan.WaitForCarrier(true));
    wan.SendOut(5, 200);
    // The kernel kept counting across the drop. The connection began since the last poll: its
    // first bytes took that long, not no time at all.
    EXPECT_EQ(probe(), std::tuple(true, 0u, 5 * (200 + FrameOverhead), 1000u));
    now += 700ms;
    EXPECT_EQ(std::get<3>(probe()), 1700u);
    wan.home.Check("ip link delete wan0");
    wan.Connect();
    now += 300ms;
    EXPECT_EQ(std::get<3>(probe()), 300u);
    const RasHandle recreated = FindConnection(links, "wan0", true);
    EXPECT_NE(recreated, first);

    // Dialling a missing link, and hanging up without the right, fail.
    std::uint32_t error = 0;
    EXPECT_FALSE(links.DialDlg("nosuch0", error));
    EXPECT_EQ(error, std::uint32_t{ENODEV});
    {
        const test::WithoutNetAdmin withoutTheRight;
        EXPECT_EQ(links.HangUp(recreated), std::uint32_t{EPERM});
    }
    EXPECT_TRUE(wan.IsUp());
    wan.home.Check("ip link set wan0 down");
    EXPECT_EQ(FindConnection(links, "wan0", false), InvalidConnection);

    // Hundreds of links span many dump datagrams; every link but loopback is an entry.
    wan.home.Check("for i in $(seq 150); do echo link add v${i}a type veth peer v${i}b; done"
                   " | ip -batch -");
    std::vector<RasEntryName> entries(301);
    std::size_t count = 0;
    EXPECT_EQ(std::pair(links.EnumEntries(entries, count), count), std::pair(0u, std::size_t{301}));
    EXPECT_EQ(links.EnumEntries(std::span(entries).first(300), count), RasErrorBufferTooSmall);
}

} // namespace
