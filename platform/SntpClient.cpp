#include "platform/SntpClient.h"

#include "net/SntpPacket.h"
#include "platform/NetworkError.h"
#include "platform/SystemTime.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// A clock this close to the server's needs no setting; a time daemon usually keeps it so.
constexpr auto Tolerance = std::chrono::milliseconds(500);
// Room for the extension fields and key of a longer reply.
constexpr std::size_t ReceiveBufferSize = 512;

[[noreturn]] void ThrowErrno()
{
    throw NetworkError(std::strerror(errno));
}

class UdpSocket {
public:
    // Connected, so that the kernel hands over only datagrams from the address and port asked.
    UdpSocket(const std::string& host, std::uint16_t port)
    {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        const int resolved =
            ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
        if (resolved != 0)
            throw NetworkError(resolved == EAI_SYSTEM ? std::strerror(errno)
                                                      : ::gai_strerror(resolved));
        // The first address (IPv6 or IPv4, as the resolver orders them) that takes a socket.
        int error = 0;
        for (const addrinfo* address = found; address && fd_ < 0; address = address->ai_next) {
            fd_ = ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC,
                           address->ai_protocol);
            if (fd_ < 0) {
                error = errno;
            } else if (::connect(fd_, address->ai_addr, address->ai_addrlen) != 0) {
                error = errno;
                ::close(fd_);
                fd_ = -1;
            }
        }
        ::freeaddrinfo(found);
        if (fd_ < 0)
            throw NetworkError(std::strerror(error));
    }
    ~UdpSocket() { ::close(fd_); }
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    int Fd() const { return fd_; }

private:
    int fd_ = -1;
};

// False when nothing arrived before `deadline`.
bool WaitForDatagram(int fd, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd wait{fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            ThrowErrno();
    }
}

} // namespace

SntpClient::SntpClient(SystemTime& clock, std::uint16_t port) : clock_(clock), port_(port) {}

bool SntpClient::SyncTime(const std::string& host)
{
    const UdpSocket socket(host, port_);
    // A random transmit timestamp, echoed in the reply, proves the reply answers this request
    // and tells an onlooker nothing about our clock.
    const net::NtpTimestamp sent = std::uint64_t{random_()} << 32 | random_();
    const auto request = net::SntpRequest(sent);
    const auto t1 = clock_.Now();
    if (::send(socket.Fd(), request.data(), request.size(), 0) < 0)
        ThrowErrno();

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(AnswerTimeoutMs);
    std::uint8_t buffer[ReceiveBufferSize];
    while (WaitForDatagram(socket.Fd(), deadline)) {
        const ssize_t length = ::recv(socket.Fd(), buffer, sizeof buffer, 0);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno();
        }
        const net::SntpReply reply =
            net::CheckSntpReply({buffer, static_cast<std::size_t>(length)}, sent);
        if (reply.verdict == net::SntpVerdict::Ignored)
            continue;
        if (reply.verdict == net::SntpVerdict::KissOfDeath)
            return false;
        const auto t4 = clock_.Now();
        // The server's time at the middle of the exchange, against ours at the same moment.
        const auto offset =
            ((net::FromNtp(reply.receive) - t1) + (net::FromNtp(reply.transmit) - t4)) / 2;
        if (offset >= -Tolerance && offset <= Tolerance)
            return true;
        return clock_.Set(clock_.Now() + offset);
    }
    return false;
}

} // namespace platform
