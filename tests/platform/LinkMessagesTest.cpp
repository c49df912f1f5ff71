#include "platform/LinkMessages.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <linux/if.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <string>

using platform::DumpProgress;
using platform::LinkRecord;
using platform::ParseLinkDump;

namespace {

using Bytes = std::vector<std::byte>;

constexpr std::uint32_t Sequence = 41;
constexpr std::uint64_t Received = 0x1'2345'6789;
constexpr std::uint64_t Transmitted = 0x2'0000'0001;
// Where the first attribute (the name) of a link message begins.
constexpr std::size_t NameAttributeOffset = NLMSG_HDRLEN + sizeof(ifinfomsg);

void Append(Bytes& bytes, const void* data, std::size_t size)
{
    const auto* first = static_cast<const std::byte*>(data);
    bytes.insert(bytes.end(), first, first + size);
    bytes.resize(NLMSG_ALIGN(bytes.size()));
}

void AppendAttribute(Bytes& bytes, unsigned short type, const void* data, std::size_t size)
{
    const rtattr attribute{static_cast<unsigned short>(RTA_LENGTH(size)), type};
    Append(bytes, &attribute, sizeof attribute);
    Append(bytes, data, size);
}

Bytes Message(unsigned short type, std::uint32_t sequence, const Bytes& payload)
{
    const nlmsghdr header{static_cast<std::uint32_t>(NLMSG_HDRLEN + payload.size()), type,
                          NLM_F_MULTI, sequence, 0};
    Bytes bytes;
    Append(bytes, &header, sizeof header);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

Bytes LinkMessage(int index, const std::string& name,
                  std::size_t statsSize = sizeof(rtnl_link_stats64),
                  std::uint32_t sequence = Sequence)
{
    ifinfomsg info{};
    info.ifi_index = index;
    info.ifi_flags = IFF_UP | IFF_RUNNING;
    rtnl_link_stats64 stats{};
    stats.rx_bytes = Received;
    stats.tx_bytes = Transmitted;
    const std::uint8_t operState = IF_OPER_UP;
    Bytes payload;
    Append(payload, &info, sizeof info);
    AppendAttribute(payload, IFLA_IFNAME, name.c_str(), name.size() + 1);
    AppendAttribute(payload, IFLA_OPERSTATE, &operState, sizeof operState);
    AppendAttribute(payload, IFLA_STATS64, &stats, statsSize);
    return Message(RTM_NEWLINK, sequence, payload);
}

Bytes Control(unsigned short type, int code)
{
    Bytes payload;
    Append(payload, &code, sizeof code);
    return Message(type, Sequence, payload);
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

struct ParseResult {
    int error;
    std::vector<LinkRecord> links;
    DumpProgress progress;
};

ParseResult Parse(const Bytes& datagram, std::size_t maxLinks = 100)
{
    ParseResult result;
    result.error = ParseLinkDump(datagram, Sequence, maxLinks, result.links, result.progress);
    return result;
}

TEST(KernelLinksMessages, ReadsEveryLinkOfADump)
{
    const auto result =
        Parse(Join({LinkMessage(1, "lo"), LinkMessage(7, "ppp0"), Control(NLMSG_DONE, 0)}));
    ASSERT_EQ(result.error, 0);
    EXPECT_TRUE(result.progress.done);
    EXPECT_FALSE(result.progress.interrupted);
    ASSERT_EQ(result.links.size(), 2u);
    const LinkRecord& ppp = result.links[1];
    EXPECT_STREQ(ppp.name, "ppp0");
    EXPECT_EQ(ppp.index, 7u);
    EXPECT_EQ(ppp.flags, unsigned{IFF_UP | IFF_RUNNING});
    EXPECT_EQ(ppp.operState, IF_OPER_UP);
    EXPECT_TRUE(ppp.hasCounters);
    EXPECT_EQ(ppp.bytesReceived, Received);
    EXPECT_EQ(ppp.bytesTransmitted, Transmitted);
}

TEST(KernelLinksMessages, InterruptedDumpIsReported)
{
    const std::uint16_t flags = NLM_F_MULTI | NLM_F_DUMP_INTR;
    EXPECT_TRUE(Parse(Patched(LinkMessage(3, "eth0"), offsetof(nlmsghdr, nlmsg_flags), flags))
                    .progress.interrupted);
}

struct DamageCase {
    const char* description;
    Bytes datagram;
    int error;
    std::size_t links = 0;
};

void PrintTo(const DamageCase& c, std::ostream* os)
{
    *os << c.description;
}

class KernelLinksDamagedDump : public testing::TestWithParam<DamageCase> {};

TEST_P(KernelLinksDamagedDump, IsRejectedOrSkippedSafely)
{
    const auto result = Parse(GetParam().datagram, 2);
    EXPECT_EQ(result.error, GetParam().error);
    EXPECT_EQ(result.links.size(), GetParam().links);
}

const Bytes Eth0 = LinkMessage(3, "eth0");

// Messages cut short or longer than the datagram, and stray bytes, are the truncation test's.
INSTANTIATE_TEST_SUITE_P(
    Cases, KernelLinksDamagedDump,
    testing::Values(
        DamageCase{"message shorter than its header", Patched(Eth0, 0, std::uint32_t{8}), EBADMSG},
        DamageCase{"attribute longer than the message",
                   Patched(Eth0, NameAttributeOffset, std::uint16_t{0xFFF0}), EBADMSG},
        DamageCase{"attribute shorter than its header",
                   Patched(Eth0, NameAttributeOffset, std::uint16_t{2}), EBADMSG},
        DamageCase{"name without its terminating zero",
                   Patched(Eth0, NameAttributeOffset + RTA_LENGTH(4), 'x'), EBADMSG},
        DamageCase{"name longer than any interface name", LinkMessage(3, "a-very-long-link-name"),
                   EBADMSG},
        DamageCase{"statistics cut short", LinkMessage(3, "eth0", 24), EBADMSG},
        DamageCase{"link header cut short", Message(RTM_NEWLINK, Sequence, Bytes(8)), EBADMSG},
        DamageCase{"interface index zero", LinkMessage(0, "eth0"), EBADMSG},
        DamageCase{"answer to another request",
                   LinkMessage(3, "eth0", sizeof(rtnl_link_stats64), Sequence + 1), 0},
        DamageCase{"kernel refuses", Control(NLMSG_ERROR, -EPERM), EPERM},
        DamageCase{"kernel error code out of range", Control(NLMSG_ERROR, INT32_MIN), EBADMSG},
        DamageCase{"dump ends with an error",
                   Join({LinkMessage(3, "eth0"), Control(NLMSG_DONE, -EINTR)}), EINTR, 1},
        DamageCase{"more links than allowed",
                   Join({LinkMessage(1, "a"), LinkMessage(2, "b"), LinkMessage(3, "c")}), ENOBUFS,
                   2}));

// Whatever the cut, the parser stays inside the datagram and keeps only whole links.
TEST(KernelLinksMessages, EveryTruncationIsRejectedOrParsedWhole)
{
    const Bytes whole = Join({LinkMessage(1, "lo"), LinkMessage(2, "eth0")});
    const std::size_t firstLength = LinkMessage(1, "lo").size();
    for (std::size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE(length);
        const auto result = Parse(Bytes(whole.begin(), whole.begin() + length));
        if (length == 0 || length == firstLength)
            EXPECT_EQ(result.error, 0);
        else
            EXPECT_EQ(result.error, EBADMSG);
        EXPECT_EQ(result.links.size(), length >= firstLength ? 1u : 0u);
    }
}

} // namespace
