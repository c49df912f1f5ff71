#include "platform/links/kernel/LinkMessages.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <linux/if.h>
#include <linux/rtnetlink.h>

using platform::LinkRecord;

namespace {

using Bytes = std::vector<std::byte>;

constexpr std::uint32_t Sequence = 41;
constexpr std::uint64_t Received = 0x1'2345'6789, Transmitted = 0x2'0000'0001;

Bytes operator+(Bytes bytes, const Bytes& more)
{
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
}

// The bytes of `data`, padded to the netlink alignment.
Bytes Raw(const void* data, std::size_t size)
{
    Bytes bytes(static_cast<const std::byte*>(data), static_cast<const std::byte*>(data) + size);
    bytes.resize(NLMSG_ALIGN(size));
    return bytes;
}

Bytes Message(unsigned short type, const Bytes& payload, std::uint16_t flags = NLM_F_MULTI)
{
    const nlmsghdr header{std::uint32_t(NLMSG_HDRLEN + payload.size()), type, flags, Sequence, 0};
    return Raw(&header, sizeof header) + payload;
}

Bytes Attribute(unsigned short type, const void* data, std::size_t size)
{
    const rtattr header{static_cast<unsigned short>(RTA_LENGTH(size)), type};
    return Raw(&header, sizeof header) + Raw(data, size);
}

Bytes Link(int index, const char* name = "eth0", std::uint16_t flags = NLM_F_MULTI)
{
    rtnl_link_stats64 stats{};
    stats.rx_bytes = Received, stats.tx_bytes = Transmitted;
    const ifinfomsg info{0, 0, 0, index, IFF_UP | IFF_RUNNING, 0};
    const std::uint8_t operState = IF_OPER_UP;
    return Message(RTM_NEWLINK,
                   Raw(&info, sizeof info) + Attribute(IFLA_IFNAME, name, std::strlen(name) + 1) +
                       Attribute(IFLA_OPERSTATE, &operState, 1) +
                       Attribute(IFLA_STATS64, &stats, sizeof stats),
                   flags);
}

Bytes Control(unsigned short type, int code)
{
    return Message(type, Raw(&code, sizeof code));
}

struct Parse {
    explicit Parse(const Bytes& datagram)
        : error(platform::ParseLinkDump(datagram, Sequence, 2, links, progress))
    {
    }
    std::vector<LinkRecord> links;
    platform::DumpProgress progress;
    const int error;
};

// Every link of a dump is read; a damaged one is rejected, at most two links kept.
TEST(LinkMessages, ReadsEveryLinkOfADumpAndNothingOfADamagedOne)
{
    const Parse whole(Link(1, "lo") + Link(7, "ppp0") + Control(NLMSG_DONE, 0));
    ASSERT_EQ(whole.links.size(), 2u);
    const LinkRecord& ppp = whole.links[1];
    EXPECT_EQ(std::tuple(whole.error, whole.progress.done, std::string(ppp.name), ppp.index,
                         ppp.flags, ppp.operState, ppp.hasCounters, ppp.bytesReceived,
                         ppp.bytesTransmitted),
              std::tuple(0, true, std::string("ppp0"), 7u, unsigned{IFF_UP | IFF_RUNNING},
                         std::uint8_t{IF_OPER_UP}, true, Received, Transmitted));

    // One row for each error the parser returns; the fuzz target walks the rest of the input space.
    Bytes cut = Link(3);
    std::memset(cut.data() + 1, 0, 3), cut[0] = std::byte{8}; // shorter than its header
    for (const auto& [description, datagram, error, links, interrupted] :
         {std::tuple("interrupted", Link(3, "eth0", NLM_F_MULTI | NLM_F_DUMP_INTR), 0, 1u, true),
          {"short message", cut, EBADMSG, 0u, false},
          {"name too long", Link(3, "sixteen-letters0"), EBADMSG, 0u, false},
          {"refused", Control(NLMSG_ERROR, -EPERM), EPERM, 0u, false},
          {"too many", Link(1) + Link(2) + Link(3), ENOBUFS, 2u, false}}) {
        const Parse result(datagram);
        EXPECT_EQ(std::tuple(result.error, result.links.size(), result.progress.interrupted),
                  std::tuple(error, links, interrupted))
            << description;
    }
}

// A dump the kernel marks as interrupted is taken again, from an empty list, three times at most.
TEST(LinkMessages, AnInterruptedDumpIsTakenAgainThreeTimesAtMost)
{
    // Interrupted dumps before a whole one, the error of each; result, links kept, dumps taken.
    for (const auto& [interrupted, failure, error, kept, dumps] :
         {std::tuple(2, 0, 0, 1u, 3), {3, 0, EAGAIN, 0u, 3}, {0, EPERM, EPERM, 0u, 1}}) {
        int taken = 0;
        std::vector<LinkRecord> links;
        const int result =
            platform::DumpWhole(links, [&](auto& into, platform::DumpProgress& progress) {
                into.push_back({});
                progress.interrupted = taken++ < interrupted;
                return failure;
            });
        EXPECT_EQ(std::tuple(result, links.size(), taken), std::tuple(error, kept, dumps))
            << interrupted;
    }
}

} // namespace
