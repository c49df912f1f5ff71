#pragma once

#include "platform/NetNamespace.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace test {

// Ethernet, IPv4 and UDP headers around each datagram's payload.
inline constexpr std::uint32_t FrameOverhead = 14 + 20 + 8;
inline constexpr std::uint16_t SinkPort = 9000;

class Socket {
public:
    explicit Socket(int fd) : fd(fd) {}
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    const int fd;
};

// A UDP socket of `ns` bound to `address`: a sink there takes datagrams, so no ICMP error
// travels back to disturb the counts.
Socket UdpSocket(const NetNamespace& ns, const std::string& address, std::uint16_t port);

// `count` datagrams of `size` payload bytes to the sink at `to`.
void SendDatagrams(const Socket& from, const std::string& to, int count, std::size_t size);

} // namespace test
