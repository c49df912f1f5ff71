#include "platform/net/HostLookup.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <netdb.h>
#include <thread>

namespace platform {

// Shared by the lookup and its thread; once abandoned, the thread posts nothing.
struct HostLookup::Channel {
    std::mutex mutex;
    HostLookup* lookup = nullptr;
};

namespace {

// The host's addresses in the resolver's order of preference, or the resolver's reason.
std::pair<QList<QHostAddress>, std::string> Resolve(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM; // one entry per address, not one per socket type
    addrinfo* found = nullptr;
    const int resolved = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (resolved != 0)
        return {{}, resolved == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(resolved)};
    QList<QHostAddress> addresses;
    for (const addrinfo* address = found; address; address = address->ai_next)
        addresses << QHostAddress(address->ai_addr);
    ::freeaddrinfo(found);
    return {addresses, {}};
}

} // namespace

HostLookup::HostLookup(const std::string& host, Found found, Failed failed)
    : found_(std::move(found)), failed_(std::move(failed)), channel_(std::make_shared<Channel>())
{
    channel_->lookup = this;
    std::thread([host, channel = channel_] {
        auto [addresses, error] = Resolve(host);
        const std::lock_guard lock(channel->mutex);
        if (HostLookup* const lookup = channel->lookup)
            QMetaObject::invokeMethod(
                &lookup->receiver_,
                [lookup, addresses = std::move(addresses), error = std::move(error)] {
                    if (error.empty())
                        lookup->found_(addresses);
                    else
                        lookup->failed_({error});
                },
                Qt::QueuedConnection);
    }).detach();
}

HostLookup::~HostLookup()
{
    const std::lock_guard lock(channel_->mutex);
    channel_->lookup = nullptr;
}

} // namespace platform
