#include "platform/LinkMessages.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <linux/if.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <string>

using platform::LinkRecord;

namespace {

using Bytes = std::vector<std::byte>;

constexpr std::uint32_t Sequence = 41;
constexpr std::uint64_t Received = 0x1'2345'6789;
constexpr std::uint64_t Transmitted = 0x2'0000'0001;
// Where the first attribute (the name) of a link message begins.
constexpr std::size_t NameAttributeOffset = NLMSG_HDRLEN + sizeof(ifinfomsg);

template <class T> Bytes& operator<<(Bytes& bytes, const T& value)
{
    const auto* first = reinterpret_cast<const std::byte*>(&value);
    bytes.insert(bytes.end(), first, first + sizeof value);
    bytes.resize(NLMSG_ALIGN(bytes.size()));
    return bytes;
}

Bytes Message(unsigned short type, const Bytes& payload, std::uint32_t sequence = Sequence,
              std::uint16_t flags = NLM_F_MULTI)
{
    Bytes bytes;
    bytes << nlmsghdr{static_cast<std::uint32_t>(NLMSG_HDRLEN + payload.size()), type, flags,
                      sequence, 0};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

// A link with the name "eth0" and the given index unless a test wants it otherwise.
Bytes Link(int index, const char* name = "eth0", std::size_t statsSize = sizeof(rtnl_link_stats64),
           std::uint32_t sequence = Sequence, std::uint16_t flags = NLM_F_MULTI)
{
    rtnl_link_stats64 stats{};
    stats.rx_bytes = Received;
    stats.tx_bytes = Transmitted;
    Bytes payload;
    payload << ifinfomsg{0, 0, 0, index, IFF_UP | IFF_RUNNING, 0};
    const auto attribute = [&](unsigned short type, const void* data, std::size_t size) {
        payload << rtattr{static_cast<unsigned short>(RTA_LENGTH(size)), type};
        payload.insert(payload.end(), static_cast<const std::byte*>(data),
                       static_cast<const std::byte*>(data) + size);
        payload.resize(NLMSG_ALIGN(payload.size()));
    };
    const std::uint8_t operState = IF_OPER_UP;
    attribute(IFLA_IFNAME, name, std::strlen(name) + 1);
    attribute(IFLA_OPERSTATE, &operState, sizeof operState);
    attribute(IFLA_STATS64, &stats, statsSize);
    return Message(RTM_NEWLINK, payload, sequence, flags);
}

Bytes Control(unsigned short type, int code)
{
    Bytes payload;
    return Message(type, payload << code);
}

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes bytes;
    for (const Bytes& part : parts)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

template <class T> Bytes Patched(Bytes bytes, std::size_t offset, T value)
{
    std::memcpy(bytes.data() + offset, &value, sizeof value);
    return bytes;
}

struct Parsed {
    int error;
    std::vector<LinkRecord> links;
    platform::DumpProgress progress;
};

Parsed Parse(const Bytes& datagram)
{
    Parsed result;
    result.error = platform::ParseLinkDump(datagram, Sequence, 2, result.links, result.progress);
    return result;
}

// Every link of a dump is read; damaged ones are rejected, skipped or cut off safely, at most two
// links kept.
TEST(LinkMessages, ReadsEveryLinkOfADumpAndNothingOfADamagedOne)
{
    const auto whole = Parse(Join({Link(1, "lo"), Link(7, "ppp0"), Control(NLMSG_DONE, 0)}));
    ASSERT_EQ(whole.links.size(), 2u);
    const LinkRecord& ppp = whole.links[1];
    EXPECT_EQ(std::tuple(whole.error, whole.progress.done, std::string(ppp.name), ppp.index,
                         ppp.flags, ppp.operState, ppp.hasCounters),
              std::tuple(0, true, std::string("ppp0"), 7u, unsigned{IFF_UP | IFF_RUNNING},
                         std::uint8_t{IF_OPER_UP}, true));
    EXPECT_EQ(ppp.bytesReceived, Received);
    EXPECT_EQ(ppp.bytesTransmitted, Transmitted);

    const Bytes eth0 = Link(3);
    const struct {
        const char* description;
        Bytes datagram;
        int error;
        std::size_t links = 0;
        bool interrupted = false;
    } rows[] = {
        {"interrupted",
         Link(3, "eth0", sizeof(rtnl_link_stats64), Sequence, NLM_F_MULTI | NLM_F_DUMP_INTR), 0, 1,
         true},
        {"message shorter than its header", Patched(eth0, 0, std::uint32_t{8}), EBADMSG},
        {"attribute longer than the message",
         Patched(eth0, NameAttributeOffset, std::uint16_t{0xFFF0}), EBADMSG},
        {"attribute shorter than its header", Patched(eth0, NameAttributeOffset, std::uint16_t{2}),
         EBADMSG},
        {"name without its terminating zero",
         Patched(eth0, NameAttributeOffset + RTA_LENGTH(4), 'x'), EBADMSG},
        {"name longer than any interface name", Link(3, "a-very-long-link-name"), EBADMSG},
        {"statistics cut short", Link(3, "eth0", 24), EBADMSG},
        {"link header cut short", Message(RTM_NEWLINK, Bytes(8)), EBADMSG},
        {"interface index zero", Link(0), EBADMSG},
        {"answer to another request", Link(3, "eth0", sizeof(rtnl_link_stats64), Sequence + 1), 0},
        {"kernel refuses", Control(NLMSG_ERROR, -EPERM), EPERM},
        {"kernel error code out of range", Control(NLMSG_ERROR, INT32_MIN), EBADMSG},
        {"dump ends with an error", Join({eth0, Control(NLMSG_DONE, -EINTR)}), EINTR, 1},
        {"more links than allowed", Join({Link(1), Link(2), Link(3)}), ENOBUFS, 2},
    };
    for (const auto& row : rows) {
        const auto result = Parse(row.datagram);
        EXPECT_EQ(std::tuple(result.error, result.links.size(), result.progress.interrupted),
                  std::tuple(row.error, row.links, row.interrupted))
            << row.description;
    }

    // Whatever the cut, the parser stays inside the datagram and keeps only whole links.
    const Bytes two = Join({Link(1, "lo"), eth0});
    const std::size_t firstLength = Link(1, "lo").size();
    for (std::size_t length = 0; length < two.size(); ++length) {
        const auto result = Parse(Bytes(two.begin(), two.begin() + length));
        EXPECT_EQ(result.error, length == 0 || length == firstLength ? 0 : EBADMSG) << length;
        EXPECT_EQ(result.links.size(), length >= firstLength ? 1u : 0u) << length;
    }
}

} // namespace
