#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace platform {

class SystemTime;

// Sets the clock from one SNTP exchange over UDP, IPv4 or IPv6, blocking on the calling thread.
class SntpClient {
public:
    static constexpr std::uint16_t NtpPort = 123;
    static constexpr int AnswerTimeoutMs = 2000;

    explicit SntpClient(SystemTime& clock, std::uint16_t port = NtpPort);

    // One request to `host`. True when the clock was set, or needed no setting; false when no
    // valid answer came in time or the clock could not be set. Name-resolution and socket
    // failures are raised as NetworkError.
    bool SyncTime(const std::string& host);

private:
    SystemTime& clock_;
    std::uint16_t port_;
    std::random_device random_;
};

} // namespace platform
