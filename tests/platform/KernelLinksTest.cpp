#include "platform/KernelLinks.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <linux/if.h>
#include <map>
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

// One socket serves every request, a refusal included; a request that fails on it is followed by
// a new one.
TEST(RouteNetlink, KeepsOneSocketAndMakesANewOneAfterAFailure)
{
    const auto sockets = [] { // this process's, by descriptor
        std::map<int, std::filesystem::path> found;
        for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
            if (std::error_code error; read_symlink(fd, error).string().starts_with("socket:"))
                found[std::stoi(fd.path().filename())] = read_symlink(fd);
        return found;
    };
    const auto before = sockets();
    const auto made = [&] { // since `before`
        auto now = sockets();
        std::erase_if(now, [&](const auto& socket) { return before.contains(socket.first); });
        return now;
    };
    RouteNetlink netlink;
    std::vector<LinkRecord> links;
    EXPECT_EQ(netlink.DumpLinks(links), 0);
    const auto kept = made();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_NE(netlink.SetLinkUp("nosuchlink0", true), 0); // EPERM, or ENODEV for root
    EXPECT_EQ(netlink.DumpLinks(links), 0);
    EXPECT_EQ(made(), kept);
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::dup2(null, kept.begin()->first);
    ::close(null);
    EXPECT_EQ(netlink.DumpLinks(links), ENOTSOCK);
    EXPECT_EQ(netlink.DumpLinks(links), 0);
    const auto remade = made();
    EXPECT_TRUE(remade.size() == 1 && remade != kept);
}

} // namespace
