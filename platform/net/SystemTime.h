#pragma once

#include <chrono>

namespace platform {

// The computer's real-time clock, read and set; replaceable in tests so that none sets it.
class SystemTime {
public:
    using TimePoint = std::chrono::system_clock::time_point;

    virtual ~SystemTime() = default;
    virtual TimePoint Now() = 0;
    // False when the clock could not be set, typically for lack of the right to.
    virtual bool Set(TimePoint time) = 0;
};

// CLOCK_REALTIME; setting it needs CAP_SYS_TIME.
class RealtimeClock final : public SystemTime {
public:
    TimePoint Now() override { return std::chrono::system_clock::now(); }
    bool Set(TimePoint time) override;
};

} // namespace platform
