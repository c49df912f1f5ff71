#pragma once

#include "platform/links/RasApi.h"
#include "platform/links/kernel/LinkMessages.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace platform {

// rtnetlink requests in the network namespace the calling thread is in at the first request. One
// socket serves them all, so that a poll costs a send and its receives; it is made at the first
// request, since a socket stays in the namespace it was made in, and made anew after a request
// left unanswered on it. Results are 0 or an errno.
class RouteNetlink {
public:
    // Bounds memory when a namespace holds an absurd number of links.
    static constexpr std::size_t MaxLinks = std::size_t{1} << 16;

    RouteNetlink();
    ~RouteNetlink();
    RouteNetlink(const RouteNetlink&) = delete;
    RouteNetlink& operator=(const RouteNetlink&) = delete;

    // Replaces `links` with every link of the namespace, taken in one dump.
    int DumpLinks(std::vector<LinkRecord>& links);
    int SetLinkUp(std::uint32_t index, bool up);
    int SetLinkUp(std::string_view name, bool up);
    // `link` of this namespace as the link services report it, without an active connection.
    RasLinkIdentity Identify(const LinkRecord& link) const;

private:
    int DumpOnce(std::vector<LinkRecord>& links, DumpProgress& progress);
    int Request(const void* message, std::size_t length, std::uint32_t sequence);
    int Receive(int socket, std::size_t& length);
    // The kept socket, made when there is none; -1 with errno set when it cannot be made.
    int Socket();
    // Closes the socket after a request it left unanswered: its queue may still hold answers, or
    // it may be broken. Returns `error`.
    int Unanswered(int error);

    int socket_ = -1;
    std::uint64_t namespaceCookie_ = 0;
    std::vector<std::byte> buffer_;
    std::uint32_t sequence_ = 0;
};

} // namespace platform
