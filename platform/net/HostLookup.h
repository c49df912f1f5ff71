#pragma once

#include "platform/net/NetworkError.h"

#include <QHostAddress>
#include <QObject>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// Resolves one host name on a thread of its own that nobody waits for: a resolver that hangs holds
// up neither the window's thread nor the program's exit. (QHostInfo's thread pool is waited for
// when the application object is destroyed.)
class HostLookup {
public:
    // Exactly one of the two is called, on the creating thread's event loop, unless the lookup is
    // destroyed first.
    using Found = std::function<void(const QList<QHostAddress>& addresses)>;
    using Failed = std::function<void(const NetworkError& error)>;

    HostLookup(const std::string& host, Found found, Failed failed);
    ~HostLookup();
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    struct Channel;

private:
    QObject receiver_; // results are posted to it, and dropped with it
    Found found_;
    Failed failed_;
    std::shared_ptr<Channel> channel_;
};

} // namespace platform
