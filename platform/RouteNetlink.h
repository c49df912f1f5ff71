#pragma once

#include "platform/LinkMessages.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace platform {

// rtnetlink requests in the calling thread's network namespace. Every request opens a socket of
// its own: a socket stays in the namespace it was made in, and a thread may have moved since.
// Results are 0 or an errno.
class RouteNetlink {
public:
    // Bounds memory when a namespace holds an absurd number of links.
    static constexpr std::size_t MaxLinks = std::size_t{1} << 16;

    RouteNetlink();

    // Replaces `links` with every link of the namespace, taken in one dump.
    int DumpLinks(std::vector<LinkRecord>& links);
    int SetLinkUp(std::uint32_t index, bool up);
    int SetLinkUp(std::string_view name, bool up);

private:
    int DumpOnce(std::vector<LinkRecord>& links, DumpProgress& progress);
    int Request(const void* message, std::size_t length, std::uint32_t sequence);
    int Receive(int socket, std::size_t& length);

    std::vector<std::byte> buffer_;
    std::uint32_t sequence_ = 0;
};

} // namespace platform
