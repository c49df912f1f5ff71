#include "platform/links/kernel/KernelLinks.h"

#include "platform/links/kernel/LinkSessions.h"

#include <QUdpSocket>
#include <filesystem>
#include <gtest/gtest.h>
#include <linux/if.h>
#include <unistd.h>

using namespace platform;

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

// A connection counts from the link's counters when it began: from 0 on a link created since an
// exhaustive poll, from its counters when it was last seen not connected or in another phase, else
// from its first sighting; its time from the poll before it began.
TEST(LinkSessions, EachConnectionCountsFromItsOwnBeginning)
{
    using Sighting = LinkSessions::Sighting;
    const auto link = [](std::uint32_t index, std::uint64_t rx, std::uint64_t tx,
                         bool connected = true, std::uint64_t phase = 0) {
        LinkRecord record;
        record.index = index, record.bytesReceived = rx, record.bytesTransmitted = tx;
        return Sighting{record, connected, phase};
    };
    using Counted = std::tuple<std::uint32_t, std::uint64_t, std::uint64_t, std::uint32_t>;
    // Each poll a second after the last: lost before it, its sightings, exhaustive, then each
    // link's bytes and milliseconds since its connection began.
    const std::tuple<bool, std::vector<Sighting>, bool, std::vector<Counted>> polls[] = {
        {false, {link(1, 100, 50), link(3, 10, 10, false)}, true, {{1, 0, 0, 0}}},
        {false,
         {link(1, 300, 80), link(2, 40, 10), link(3, 30, 20)},
         true,
         {{1, 200, 30, 1000}, {2, 40, 10, 1000}, {3, 20, 10, 1000}}},
        {false,
         {link(1, 500, 90), link(3, 70, 60, true, 7)},
         true,
         {{1, 400, 40, 2000}, {3, 40, 40, 1000}}},
        {true, {link(4, 1000, 1000)}, false, {{4, 0, 0, 0}}},
        {false, {link(4, 1000, 1000), link(5, 5, 5)}, true, {{5, 0, 0, 0}}}};
    LinkSessions sessions;
    LinkSessions::TimePoint now;
    for (const auto& [lost, seen, exhaustive, expected] : polls) {
        if (lost)
            sessions.Lose();
        sessions.Take(seen, now += std::chrono::seconds(1), exhaustive);
        for (const auto& [index, rx, tx, ms] : expected) {
            const RasStats stats = sessions.Statistics(*sessions.Find(index));
            EXPECT_EQ(Counted(index, stats.bytesReceived, stats.bytesTransmitted,
                              stats.connectDurationMs),
                      Counted(index, rx, tx, ms));
        }
    }
    EXPECT_EQ(sessions.Find(2), nullptr);
}

// One socket serves every request; a request that fails on it is followed by a new one.
TEST(RouteNetlink, KeepsOneSocketAndMakesANewOneAfterAFailure)
{
    const int fd = ::dup(STDERR_FILENO); // the lowest free descriptor, which the socket takes
    ::close(fd);
    const std::filesystem::path socket = "/proc/self/fd/" + std::to_string(fd);
    RouteNetlink netlink;
    std::vector<LinkRecord> links;
    EXPECT_EQ(netlink.DumpLinks(links), 0);
    const std::filesystem::path kept = read_symlink(socket); // socket:[inode]
    EXPECT_TRUE(netlink.DumpLinks(links) == 0 && read_symlink(socket) == kept);
    ::close(fd);
    EXPECT_EQ(netlink.DumpLinks(links), EBADF);
    EXPECT_TRUE(netlink.DumpLinks(links) == 0 && read_symlink(socket) != kept);
}

// A poll that fails ends every connection: the next one of loopback counts from there.
TEST(KernelLinks, APollThatFailsEndsTheSessions)
{
    const int fd = ::dup(STDERR_FILENO); // the lowest free descriptor, which the socket takes
    ::close(fd);
    KernelLinks links([] { return std::chrono::steady_clock::time_point{}; });
    std::vector<RasConnection> connections(64);
    std::size_t count = 0;
    EXPECT_EQ(links.EnumConnections(connections, count), 0u);
    ::close(fd);
    EXPECT_EQ(links.EnumConnections(connections, count), std::uint32_t{EBADF});
    QUdpSocket().writeDatagram("x", QHostAddress::LocalHost, 9);
    EXPECT_EQ(links.EnumConnections(connections, count), 0u);
    RasStats stats{1, 1, 1};
    EXPECT_EQ(links.GetConnectionStatistics(connections[0].handle, stats), 0u);
    EXPECT_EQ(std::tuple(stats.bytesReceived, stats.bytesTransmitted), std::tuple(0u, 0u));
}

} // namespace
