#include "platform/KernelLinks.h"

#include "platform/NetNamespace.h"
#include "platform/TestTraffic.h"
#include "platform/ThreadCapabilities.h"
#include "traffic/LinkProbe.h"

#include <chrono>
#include <gtest/gtest.h>
#include <linux/if.h>
#include <optional>
#include <set>
#include <sstream>

using namespace std::chrono_literals;
using platform::RasHandle;
using test::FrameOverhead;
using test::SendDatagrams;
using test::SinkPort;
using test::Socket;
using test::SysfsValue;
using test::UdpSocket;

namespace {

constexpr const char* NeedsRoot = "needs root to create network namespaces";

struct Reading {
    RasHandle handle;
    bool connected;
    std::uint32_t received;
    std::uint32_t transmitted;
    std::uint32_t durationMs;
};

// The probe as the watch cycle makes it.
Reading Probe(platform::RasApi& ras, const char* entry)
{
    Reading reading{FindConnection(ras, entry, true), false, 0, 0, 0};
    reading.connected = ReadStatistics(ras, reading.handle, reading.received, reading.transmitted,
                                       reading.durationMs);
    return reading;
}

// wan0 in a "home" namespace, linked by a veth pair to isp0 in an "isp" namespace. The layer
// under test runs on threads moved into home, with a monotonic clock the test moves by hand.
class KernelLinksTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!test::NetNamespace::CanCreate())
            GTEST_SKIP() << NeedsRoot;
        home.emplace();
        isp.emplace();
        veth = test::ConnectVeth(*home, "wan0", *isp, "isp0");
        ASSERT_TRUE(test::WaitForOperState(*home, "wan0", true));
    }

    Reading ProbeWan()
    {
        return home->RunInside([this] { return Probe(links, "wan0"); });
    }

    // The state of wan0, found in any state.
    std::uint32_t WanState()
    {
        return home->RunInside([this] {
            std::uint32_t state = 0;
            EXPECT_EQ(links.GetConnectStatus(FindConnection(links, "wan0", false), state), 0u);
            return state;
        });
    }

    std::optional<test::NetNamespace> home;
    std::optional<test::NetNamespace> isp;
    test::VethPair veth;
    std::chrono::steady_clock::time_point now;
    platform::KernelLinks links{[this] { return now; }};
};

// The byte counters are the kernel's since the connection was first seen: a new connection after
// a drop, or a link made anew between two polls (same name, new index), starts from zero.
TEST_F(KernelLinksTest, ProbeFollowsTheLinkAndCountsTheKernelsBytesSinceEachConnectionBegan)
{
    const Socket ispSink = UdpSocket(*isp, veth.right.address, SinkPort);
    const Socket homeSink = UdpSocket(*home, veth.left.address, SinkPort);
    const Socket fromHome = UdpSocket(*home, veth.left.address, 0);
    const Socket fromIsp = UdpSocket(*isp, veth.right.address, 0);
    const auto kernel = [this](const char* counter) {
        return SysfsValue(*home, std::string("wan0/statistics/") + counter);
    };
    SendDatagrams(fromHome, veth.right.address, 3, 100); // before the program looks
    const auto rxAtFirstSight = kernel("rx_bytes");
    const auto txAtFirstSight = kernel("tx_bytes");
    const Reading first = ProbeWan();
    EXPECT_TRUE(first.connected);
    EXPECT_EQ(first.received + first.transmitted + first.durationMs, 0u);
    SendDatagrams(fromHome, veth.right.address, 30, 1000);
    SendDatagrams(fromIsp, veth.left.address, 20, 500);
    now += 1500ms;
    const Reading later = ProbeWan();
    EXPECT_EQ(later.transmitted, 30 * (1000 + FrameOverhead));
    EXPECT_EQ(later.received, 20 * (500 + FrameOverhead));
    EXPECT_EQ(later.received, kernel("rx_bytes") - rxAtFirstSight);
    EXPECT_EQ(later.transmitted, kernel("tx_bytes") - txAtFirstSight);
    EXPECT_EQ(later.durationMs, 1500u);

    // wan0 stays up without a carrier: being dialled at first, a dead line after a while
    isp->Check("ip link set isp0 down");
    ASSERT_TRUE(test::WaitForOperState(*home, "wan0", false));
    EXPECT_FALSE(ProbeWan().connected);
    EXPECT_EQ(WanState(), platform::RasConnectingState);
    now += platform::KernelLinks::CarrierWait;
    EXPECT_EQ(WanState(), platform::RasDisconnectedState);
    now += 1000ms;
    isp->Check("ip link set isp0 up");
    ASSERT_TRUE(test::WaitForOperState(*home, "wan0", true));
    SendDatagrams(fromHome, veth.right.address, 5, 200);
    // The kernel kept counting across the drop. The connection began since the last poll: its
    // first bytes took that long, not no time at all.
    const Reading reconnected = ProbeWan();
    EXPECT_TRUE(reconnected.connected);
    EXPECT_EQ(reconnected.transmitted, 5 * (200 + FrameOverhead));
    EXPECT_EQ(reconnected.durationMs, 1000u);
    now += 700ms;
    EXPECT_EQ(ProbeWan().durationMs, 1700u);

    home->Check("ip link delete wan0");
    veth = test::ConnectVeth(*home, "wan0", *isp, "isp0");
    ASSERT_TRUE(test::WaitForOperState(*home, "wan0", true));
    now += 300ms;
    const Reading recreated = ProbeWan();
    EXPECT_NE(recreated.handle, first.handle);
    EXPECT_EQ(recreated.durationMs, 300u);

    home->Check("ip link set wan0 down");
    EXPECT_EQ(home->RunInside([this] { return FindConnection(links, "wan0", false); }),
              InvalidConnection);
}

TEST_F(KernelLinksTest, DialOfAMissingLinkAndHangUpWithoutTheRightFail)
{
    const RasHandle wan = ProbeWan().handle;
    std::uint32_t error = 0;
    EXPECT_FALSE(home->RunInside([&] { return links.DialDlg("nosuch0", error); }));
    EXPECT_EQ(error, std::uint32_t{ENODEV});
    EXPECT_EQ(home->RunInside([&] {
        test::DropNetAdminOnThisThread();
        return links.HangUp(wan);
    }),
              std::uint32_t{EPERM});
    EXPECT_NE(SysfsValue(*home, "wan0/flags") & IFF_UP, 0u);
}

struct CarrierCase {
    unsigned flags;
    std::uint8_t operState;
    bool connected;
};

class KernelLinksCarrier : public testing::TestWithParam<CarrierCase> {};

TEST_P(KernelLinksCarrier, ConnectedWhenUpRunningAndOperational)
{
    platform::LinkRecord link;
    link.flags = GetParam().flags;
    link.operState = GetParam().operState;
    EXPECT_EQ(platform::IsConnected(link), GetParam().connected);
}

INSTANTIATE_TEST_SUITE_P(Rows, KernelLinksCarrier,
                         testing::Values(CarrierCase{IFF_UP | IFF_RUNNING, IF_OPER_UP, true},
                                         CarrierCase{IFF_UP | IFF_RUNNING, IF_OPER_DOWN, false},
                                         // PPP devices report no operational state
                                         CarrierCase{IFF_UP | IFF_RUNNING, IF_OPER_UNKNOWN, true},
                                         CarrierCase{IFF_UP, IF_OPER_UNKNOWN, false}));

// Hundreds of links span many dump datagrams; every link but loopback is an entry; 21 active ones
// hide the watched link.
TEST(KernelLinksCrowd, ManyLinksAreAllSeenAndTwentyOneActiveHideTheWatchedOne)
{
    if (!test::NetNamespace::CanCreate())
        GTEST_SKIP() << NeedsRoot;
    const test::NetNamespace crowd;
    crowd.Check("for i in $(seq 150); do echo link add name v${i}a type veth peer name v${i}b;"
                " done | ip -batch -");
    std::istringstream listed(crowd.Check("ls /sys/class/net"));
    std::set<std::string> expected{std::istream_iterator<std::string>(listed), {}};
    expected.erase("lo");
    ASSERT_EQ(expected.size(), 300u);

    platform::KernelLinks links;
    crowd.RunInside([&] {
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
    });

    crowd.Check("for i in $(seq 20); do ip link set v${i}a up; done"); // with lo: 21 active
    EXPECT_EQ(crowd.RunInside([&] { return FindConnection(links, "v1a", false); }),
              InvalidConnection);
    crowd.Check("ip link set v20a down");
    EXPECT_NE(crowd.RunInside([&] { return FindConnection(links, "v1a", false); }),
              InvalidConnection);
}

} // namespace
