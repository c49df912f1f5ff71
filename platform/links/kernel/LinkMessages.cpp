#include "platform/links/kernel/LinkMessages.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

namespace platform {

namespace {

// A dump that keeps being interrupted by links coming and going is given up after this many.
constexpr int MaxDumpAttempts = 3;

template <typename T> T Read(std::span<const std::byte> bytes, std::size_t offset = 0)
{
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// Calls `visit(header, payload)` for each message; stops at the first non-zero result. Lengths
// are checked before use, so a lying length field can neither overrun nor loop forever.
template <typename Visit> int ForEachMessage(std::span<const std::byte> datagram, Visit visit)
{
    std::size_t offset = 0;
    while (datagram.size() - offset >= sizeof(nlmsghdr)) {
        const auto header = Read<nlmsghdr>(datagram, offset);
        if (header.nlmsg_len < sizeof header || header.nlmsg_len > datagram.size() - offset)
            return EBADMSG;
        const auto payload =
            datagram.subspan(offset + NLMSG_HDRLEN, header.nlmsg_len - NLMSG_HDRLEN);
        if (const int result = visit(header, payload))
            return result;
        offset = std::min<std::size_t>(offset + NLMSG_ALIGN(header.nlmsg_len), datagram.size());
    }
    return offset == datagram.size() ? 0 : EBADMSG;
}

// Calls `visit(type, payload)` for each attribute; false when an attribute is malformed.
template <typename Visit> bool ForEachAttribute(std::span<const std::byte> attributes, Visit visit)
{
    std::size_t offset = 0;
    while (attributes.size() - offset >= sizeof(rtattr)) {
        const auto attribute = Read<rtattr>(attributes, offset);
        if (attribute.rta_len < sizeof attribute || attribute.rta_len > attributes.size() - offset)
            return false;
        const auto payload =
            attributes.subspan(offset + RTA_LENGTH(0), attribute.rta_len - RTA_LENGTH(0));
        if (!visit(attribute.rta_type & NLA_TYPE_MASK, payload))
            return false;
        offset = std::min<std::size_t>(offset + RTA_ALIGN(attribute.rta_len), attributes.size());
    }
    return offset == attributes.size();
}

bool ReadName(std::span<const std::byte> payload, char (&name)[IFNAMSIZ])
{
    const void* end = std::memchr(payload.data(), 0, payload.size());
    if (!end)
        return false;
    const auto length =
        static_cast<std::size_t>(static_cast<const std::byte*>(end) - payload.data());
    if (length == 0 || length >= IFNAMSIZ)
        return false;
    std::memcpy(name, payload.data(), length + 1);
    return true;
}

bool ReadLinkAttribute(unsigned type, std::span<const std::byte> payload, LinkRecord& link)
{
    switch (type) {
    case IFLA_IFNAME:
        return ReadName(payload, link.name);
    case IFLA_OPERSTATE:
        if (payload.empty())
            return false;
        link.operState = Read<std::uint8_t>(payload);
        return true;
    case IFLA_STATS64:
        if (payload.size() < offsetof(rtnl_link_stats64, tx_bytes) + sizeof(__u64))
            return false;
        link.bytesReceived = Read<std::uint64_t>(payload, offsetof(rtnl_link_stats64, rx_bytes));
        link.bytesTransmitted = Read<std::uint64_t>(payload, offsetof(rtnl_link_stats64, tx_bytes));
        link.hasCounters = true;
        return true;
    default:
        return true;
    }
}

int ReadLink(std::span<const std::byte> payload, LinkRecord& link)
{
    if (payload.size() < sizeof(ifinfomsg))
        return EBADMSG;
    const auto info = Read<ifinfomsg>(payload);
    if (info.ifi_index <= 0)
        return EBADMSG;
    link.index = static_cast<std::uint32_t>(info.ifi_index);
    link.flags = info.ifi_flags;
    const auto attributes = payload.subspan(NLMSG_ALIGN(sizeof(ifinfomsg)));
    const bool wellFormed = ForEachAttribute(
        attributes, [&](unsigned type, auto data) { return ReadLinkAttribute(type, data, link); });
    return wellFormed && link.name[0] != '\0' ? 0 : EBADMSG;
}

int ReadErrorCode(std::span<const std::byte> payload)
{
    constexpr int MaxErrno = 4095;
    if (payload.size() < sizeof(int))
        return EBADMSG;
    const int code = Read<int>(payload);
    return code <= 0 && code >= -MaxErrno ? -code : EBADMSG;
}

} // namespace

int ParseLinkDump(std::span<const std::byte> datagram, std::uint32_t sequence, std::size_t maxLinks,
                  std::vector<LinkRecord>& links, DumpProgress& progress)
{
    return ForEachMessage(datagram, [&](const nlmsghdr& header, auto payload) {
        if (header.nlmsg_seq != sequence)
            return 0;
        if (header.nlmsg_flags & NLM_F_DUMP_INTR)
            progress.interrupted = true;
        switch (header.nlmsg_type) {
        case NLMSG_DONE:
            progress.done = true;
            return payload.size() >= sizeof(int) ? ReadErrorCode(payload) : 0;
        case NLMSG_ERROR:
            progress.done = true;
            return ReadErrorCode(payload);
        case RTM_NEWLINK: {
            if (links.size() >= maxLinks)
                return ENOBUFS;
            LinkRecord link;
            if (const int error = ReadLink(payload, link))
                return error;
            links.push_back(link);
            return 0;
        }
        default:
            return 0;
        }
    });
}

int DumpWhole(std::vector<LinkRecord>& links,
              const std::function<int(std::vector<LinkRecord>&, DumpProgress&)>& dumpOnce)
{
    for (int attempt = 0; attempt < MaxDumpAttempts; ++attempt) {
        links.clear();
        DumpProgress progress;
        if (const int error = dumpOnce(links, progress)) {
            links.clear();
            return error;
        }
        if (!progress.interrupted)
            return 0;
    }
    links.clear();
    return EAGAIN;
}

int ParseAck(std::span<const std::byte> datagram, std::uint32_t sequence, bool& answered)
{
    return ForEachMessage(datagram, [&](const nlmsghdr& header, auto payload) {
        if (header.nlmsg_seq != sequence || header.nlmsg_type != NLMSG_ERROR)
            return 0;
        answered = true;
        return ReadErrorCode(payload);
    });
}

} // namespace platform
