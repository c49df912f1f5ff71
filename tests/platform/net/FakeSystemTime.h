#pragma once

#include "platform/net/SystemTime.h"

#include <utility>
#include <vector>

namespace test {

// A real-time clock that moves on by `step` at every reading and records what it is set to.
class FakeSystemTime final : public platform::SystemTime {
public:
    TimePoint now = std::chrono::sys_days(std::chrono::year(2026) / 12 / 6);
    std::chrono::system_clock::duration step{};
    std::vector<TimePoint> set;

    TimePoint Now() override { return std::exchange(now, now + step); }
    bool Set(TimePoint time) override { return set.push_back(time), true; }
};

} // namespace test
