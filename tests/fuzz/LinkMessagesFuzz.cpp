// Reads arbitrary datagrams as rtnetlink link dumps and acknowledgements. Besides memory faults
// it checks what the callers rely on: every link read is usable, and the answer is an errno.
#include "platform/links/kernel/LinkMessages.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <linux/netlink.h>

namespace {

constexpr auto Require = [](bool holds) { holds ? void() : std::abort(); };

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span datagram(reinterpret_cast<const std::byte*>(data), size);
    // The request the first message answers, so that the readers get past the sequence filter
    // without the fuzzer having to guess it.
    nlmsghdr header{};
    if (size >= sizeof header)
        std::memcpy(&header, data, sizeof header);

    std::vector<platform::LinkRecord> links;
    platform::DumpProgress progress;
    const int result =
        platform::ParseLinkDump(datagram, header.nlmsg_seq, SIZE_MAX, links, progress);
    Require(result >= 0 && result <= 4095);
    // Any other errno is the kernel's, which only the end of a dump carries.
    Require(result == 0 || result == EBADMSG || result == ENOBUFS || progress.done);
    for (const platform::LinkRecord& link : links) {
        const std::size_t nameLength = strnlen(link.name, IFNAMSIZ);
        Require(link.index > 0 && link.index <= INT32_MAX && nameLength > 0 &&
                nameLength < IFNAMSIZ);
    }
    bool answered = false;
    const int ack = platform::ParseAck(datagram, header.nlmsg_seq, answered);
    Require(ack >= 0 && ack <= 4095);
    Require(ack == 0 || ack == EBADMSG || answered);
    return 0;
}
