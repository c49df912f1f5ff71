// Reads arbitrary datagrams as rtnetlink link dumps and acknowledgements. Besides memory faults
// it checks what the callers rely on: the link cap holds, every link read is usable, and the
// answer is an errno.
#include "platform/LinkMessages.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <linux/netlink.h>

using platform::DumpProgress;
using platform::LinkRecord;

namespace {

void Require(bool holds)
{
    if (!holds)
        std::abort();
}

bool IsErrno(int code)
{
    return code >= 0 && code <= 4095;
}

void RequireUsable(const LinkRecord& link)
{
    Require(link.index > 0 && link.index <= INT32_MAX);
    const std::size_t nameLength = strnlen(link.name, IFNAMSIZ);
    Require(nameLength > 0 && nameLength < IFNAMSIZ);
}

bool SameLink(const LinkRecord& a, const LinkRecord& b)
{
    return a.index == b.index && a.flags == b.flags && a.operState == b.operState &&
           a.hasCounters == b.hasCounters && a.bytesReceived == b.bytesReceived &&
           a.bytesTransmitted == b.bytesTransmitted && std::strcmp(a.name, b.name) == 0;
}

// The request the first message answers, so that the readers get past the sequence filter
// without the fuzzer having to guess it.
std::uint32_t FirstSequence(std::span<const std::byte> datagram)
{
    nlmsghdr header{};
    if (datagram.size() >= sizeof header)
        std::memcpy(&header, datagram.data(), sizeof header);
    return header.nlmsg_seq;
}

void CheckLinkDump(std::span<const std::byte> datagram, std::uint32_t sequence)
{
    std::vector<LinkRecord> links;
    DumpProgress progress;
    const int result = platform::ParseLinkDump(datagram, sequence, SIZE_MAX, links, progress);
    Require(IsErrno(result));
    // Any other errno is the kernel's, which only the end of a dump carries.
    Require(result == 0 || result == EBADMSG || result == ENOBUFS || progress.done);
    for (const LinkRecord& link : links)
        RequireUsable(link);
    if (links.empty())
        return;

    // With room for one link less, and one of those places taken by a link from an earlier
    // datagram, reading stops with ENOBUFS where the last link was, having read the same before.
    std::vector<LinkRecord> capped(1);
    DumpProgress cappedProgress;
    Require(platform::ParseLinkDump(datagram, sequence, links.size(), capped, cappedProgress) ==
            ENOBUFS);
    Require(capped.size() == links.size());
    for (std::size_t i = 1; i < capped.size(); ++i)
        Require(SameLink(capped[i], links[i - 1]));
}

void CheckAck(std::span<const std::byte> datagram, std::uint32_t sequence)
{
    bool answered = false;
    const int result = platform::ParseAck(datagram, sequence, answered);
    Require(IsErrno(result));
    Require(result == 0 || result == EBADMSG || answered);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span datagram(reinterpret_cast<const std::byte*>(data), size);
    const std::uint32_t sequence = FirstSequence(datagram);
    CheckLinkDump(datagram, sequence);
    CheckAck(datagram, sequence);
    return 0;
}
