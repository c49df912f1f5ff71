#include "platform/TestTraffic.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace test {

namespace {

sockaddr_in Address(const std::string& address, std::uint16_t port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &result.sin_addr);
    return result;
}

} // namespace

Socket::~Socket()
{
    ::close(fd);
}

Socket UdpSocket(const NetNamespace& ns, const std::string& address, std::uint16_t port)
{
    return Socket(ns.RunInside([&] {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const sockaddr_in local = Address(address, port);
        EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
        return fd;
    }));
}

void SendDatagrams(const Socket& from, const std::string& to, int count, std::size_t size)
{
    const std::string payload(size, 'q');
    const sockaddr_in target = Address(to, SinkPort);
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(::sendto(from.fd, payload.data(), size, 0,
                           reinterpret_cast<const sockaddr*>(&target), sizeof target),
                  static_cast<ssize_t>(size));
}

} // namespace test
