#include "platform/links/kernel/RouteNetlink.h"

#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// Dump datagrams are at most 32 KiB; twice that leaves room to spare.
constexpr std::size_t ReceiveBufferSize = 64 * 1024;

int Send(int socket, const void* message, std::size_t length)
{
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    while (::sendto(socket, message, length, 0, reinterpret_cast<const sockaddr*>(&kernel),
                    sizeof kernel) < 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

nlmsghdr Header(std::size_t length, std::uint16_t type, std::uint16_t flags, std::uint32_t sequence)
{
    nlmsghdr header{};
    header.nlmsg_len = static_cast<std::uint32_t>(length);
    header.nlmsg_type = type;
    header.nlmsg_flags = flags;
    header.nlmsg_seq = sequence;
    return header;
}

struct LinkRequest {
    nlmsghdr header;
    ifinfomsg info;
};

struct NamedLinkRequest {
    nlmsghdr header;
    ifinfomsg info;
    rtattr nameAttribute;
    char name[IFNAMSIZ];
};

} // namespace

RouteNetlink::RouteNetlink() : buffer_(ReceiveBufferSize) {}

RouteNetlink::~RouteNetlink()
{
    if (socket_ >= 0)
        ::close(socket_);
}

int RouteNetlink::Socket()
{
    if (socket_ >= 0)
        return socket_;
    socket_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    // Index and name are unique only within a namespace; its cookie tells which one (Linux 5.14+,
    // 0 before).
    socklen_t size = sizeof namespaceCookie_;
    if (socket_ >= 0 &&
        ::getsockopt(socket_, SOL_SOCKET, SO_NETNS_COOKIE, &namespaceCookie_, &size) != 0)
        namespaceCookie_ = 0;
    return socket_;
}

RasLinkIdentity RouteNetlink::Identify(const LinkRecord& link) const
{
    RasLinkIdentity identity{};
    identity.namespaceCookie = namespaceCookie_;
    identity.interfaceIndex = link.index;
    static_assert(sizeof link.name <= sizeof identity.interfaceName);
    std::memcpy(identity.interfaceName, link.name, sizeof link.name);
    identity.bytesReceived = link.bytesReceived;
    identity.bytesTransmitted = link.bytesTransmitted;
    return identity;
}

int RouteNetlink::Unanswered(int error)
{
    if (socket_ >= 0)
        ::close(socket_);
    socket_ = -1;
    return error;
}

int RouteNetlink::DumpLinks(std::vector<LinkRecord>& links)
{
    return DumpWhole(links, [this](std::vector<LinkRecord>& into, DumpProgress& progress) {
        return DumpOnce(into, progress);
    });
}

int RouteNetlink::DumpOnce(std::vector<LinkRecord>& links, DumpProgress& progress)
{
    const int socket = Socket();
    if (socket < 0)
        return errno;
    LinkRequest request{};
    request.header = Header(sizeof request, RTM_GETLINK, NLM_F_REQUEST | NLM_F_DUMP, ++sequence_);
    request.info.ifi_family = AF_UNSPEC;
    if (const int error = Send(socket, &request, sizeof request))
        return Unanswered(error);
    while (!progress.done) {
        std::size_t length = 0;
        if (const int error = Receive(socket, length))
            return Unanswered(error);
        const std::span<const std::byte> datagram(buffer_.data(), length);
        if (const int error =
                ParseLinkDump(datagram, request.header.nlmsg_seq, MaxLinks, links, progress))
            return progress.done ? error : Unanswered(error);
    }
    return 0;
}

int RouteNetlink::SetLinkUp(std::uint32_t index, bool up)
{
    if (index == 0 || index > static_cast<std::uint32_t>(INT32_MAX))
        return ENODEV;
    LinkRequest request{};
    request.header = Header(sizeof request, RTM_NEWLINK, NLM_F_REQUEST | NLM_F_ACK, ++sequence_);
    request.info.ifi_index = static_cast<int>(index);
    request.info.ifi_flags = up ? IFF_UP : 0;
    request.info.ifi_change = IFF_UP;
    return Request(&request, sizeof request, request.header.nlmsg_seq);
}

int RouteNetlink::SetLinkUp(std::string_view name, bool up)
{
    if (name.empty() || name.size() >= IFNAMSIZ)
        return ENODEV;
    NamedLinkRequest request{};
    request.header = Header(sizeof request, RTM_NEWLINK, NLM_F_REQUEST | NLM_F_ACK, ++sequence_);
    request.info.ifi_flags = up ? IFF_UP : 0;
    request.info.ifi_change = IFF_UP;
    request.nameAttribute.rta_type = IFLA_IFNAME;
    request.nameAttribute.rta_len = RTA_LENGTH(sizeof request.name);
    std::memcpy(request.name, name.data(), name.size());
    return Request(&request, sizeof request, request.header.nlmsg_seq);
}

int RouteNetlink::Request(const void* message, std::size_t length, std::uint32_t sequence)
{
    const int socket = Socket();
    if (socket < 0)
        return errno;
    if (const int error = Send(socket, message, length))
        return Unanswered(error);
    for (bool answered = false; !answered;) {
        std::size_t received = 0;
        if (const int error = Receive(socket, received))
            return Unanswered(error);
        const std::span<const std::byte> datagram(buffer_.data(), received);
        // A refusal, answered, leaves the socket as good as before.
        if (const int error = ParseAck(datagram, sequence, answered))
            return answered ? error : Unanswered(error);
    }
    return 0;
}

int RouteNetlink::Receive(int socket, std::size_t& length)
{
    for (;;) {
        sockaddr_nl sender{};
        socklen_t senderLength = sizeof sender;
        const ssize_t received = ::recvfrom(socket, buffer_.data(), buffer_.size(), MSG_TRUNC,
                                            reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (received < 0 && errno == EINTR)
            continue;
        if (received < 0)
            return errno;
        if (static_cast<std::size_t>(received) > buffer_.size())
            return EMSGSIZE;
        if (sender.nl_pid != 0)
            continue; // only the kernel answers requests
        length = static_cast<std::size_t>(received);
        return 0;
    }
}

} // namespace platform
