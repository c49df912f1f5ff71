#include "platform/LinkMessages.h"

#include <cerrno>
#include <cstring>
#include <functional>
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

Bytes Message(unsigned short type, std::uint32_t sequence, const Bytes& payload,
              unsigned short flags = NLM_F_MULTI)
{
    const nlmsghdr header{static_cast<std::uint32_t>(NLMSG_HDRLEN + payload.size()), type, flags,
                          sequence, 0};
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

void Patch16(Bytes& bytes, std::size_t offset, std::uint16_t value)
{
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

void Patch32(Bytes& bytes, std::size_t offset, std::uint32_t value)
{
    std::memcpy(bytes.data() + offset, &value, sizeof value);
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

struct DamageCase {
    const char* description;
    std::function<Bytes()> datagram;
    int error;
    std::size_t links;
};

void PrintTo(const DamageCase& c, std::ostream* os)
{
    *os << c.description;
}

class KernelLinksDamagedDump : public testing::TestWithParam<DamageCase> {};

TEST_P(KernelLinksDamagedDump, IsRejectedOrSkippedSafely)
{
    const auto result = Parse(GetParam().datagram(), 2);
    EXPECT_EQ(result.error, GetParam().error);
    EXPECT_EQ(result.links.size(), GetParam().links);
}

Bytes Damaged(std::function<void(Bytes&)> damage)
{
    Bytes bytes = LinkMessage(3, "eth0");
    damage(bytes);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KernelLinksDamagedDump,
    testing::Values(
        DamageCase{"message longer than the datagram",
                   [] { return Damaged([](Bytes& b) { Patch32(b, 0, b.size() + 4); }); }, EBADMSG,
                   0},
        DamageCase{"message shorter than its header",
                   [] { return Damaged([](Bytes& b) { Patch32(b, 0, 8); }); }, EBADMSG, 0},
        DamageCase{
            "attribute longer than the message",
            [] { return Damaged([](Bytes& b) { Patch16(b, NameAttributeOffset, 0xFFF0); }); },
            EBADMSG, 0},
        DamageCase{"attribute shorter than its header",
                   [] { return Damaged([](Bytes& b) { Patch16(b, NameAttributeOffset, 2); }); },
                   EBADMSG, 0},
        DamageCase{"name without its terminating zero",
                   [] {
                       return Damaged([](Bytes& b) {
                           b[NameAttributeOffset + RTA_LENGTH(4)] = std::byte{'x'};
                       });
                   },
                   EBADMSG, 0},
        DamageCase{"name longer than any interface name",
                   [] { return LinkMessage(3, "a-very-long-link-name"); }, EBADMSG, 0},
        DamageCase{"statistics cut short", [] { return LinkMessage(3, "eth0", 24); }, EBADMSG, 0},
        DamageCase{"link header cut short", [] { return Message(RTM_NEWLINK, Sequence, Bytes(8)); },
                   EBADMSG, 0},
        DamageCase{"interface index zero", [] { return LinkMessage(0, "eth0"); }, EBADMSG, 0},
        DamageCase{"answer to another request",
                   [] { return LinkMessage(3, "eth0", sizeof(rtnl_link_stats64), Sequence + 1); },
                   0, 0},
        DamageCase{"kernel refuses", [] { return Control(NLMSG_ERROR, -EPERM); }, EPERM, 0},
        DamageCase{"kernel error code out of range", [] { return Control(NLMSG_ERROR, INT32_MIN); },
                   EBADMSG, 0},
        DamageCase{"dump ends with an error",
                   [] {
                       return Join({LinkMessage(3, "eth0"), Control(NLMSG_DONE, -EINTR)});
                   },
                   EINTR, 1},
        DamageCase{"more links than allowed",
                   [] {
                       return Join({LinkMessage(1, "a"), LinkMessage(2, "b"), LinkMessage(3, "c")});
                   },
                   ENOBUFS, 2},
        DamageCase{"stray bytes after the last message",
                   [] {
                       return Join({LinkMessage(3, "eth0"), Bytes(8)});
                   },
                   EBADMSG, 1}));

TEST(KernelLinksMessages, InterruptedDumpIsReported)
{
    Bytes bytes = LinkMessage(3, "eth0");
    Patch16(bytes, offsetof(nlmsghdr, nlmsg_flags), NLM_F_MULTI | NLM_F_DUMP_INTR);
    EXPECT_TRUE(Parse(bytes).progress.interrupted);
}

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
