#include "platform/links/kernel/KernelLinks.h"

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

} // namespace
