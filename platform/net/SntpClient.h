#pragma once

#include "platform/net/NetworkTask.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>

namespace platform {

class SystemTime;

// What one exchange came to.
struct TimeSyncResult {
    enum class Outcome {
        ClockSet,    // set, or within half a second of the server's time already
        NotSet,      // no valid answer in time, or the clock could not be set
        Failed,      // a network failure or an answer not trusted, as `error` says
        KissOfDeath, // the server asks us to stop: no more requests to it in this operation
    };
    Outcome outcome = Outcome::NotSet;
    std::string error;
};

// Sets the clock from one SNTP exchange over UDP, IPv4 or IPv6, on the event loop.
class SntpClient {
public:
    static constexpr std::uint16_t NtpPort = 123;
    static constexpr int AnswerTimeoutMs = 2000;
    // ntpd's panic threshold: one unauthenticated answer never moves the clock further.
    static constexpr std::chrono::seconds MaxStep{1000};

    using Done = std::function<void(const TimeSyncResult& result)>;

    explicit SntpClient(SystemTime& clock, std::uint16_t port = NtpPort);

    // One request to `host`; `done` is called once, on the event loop.
    std::unique_ptr<NetworkTask> SyncTime(const std::string& host, Done done);

private:
    SystemTime& clock_;
    std::uint16_t port_;
    std::random_device random_;
};

} // namespace platform
