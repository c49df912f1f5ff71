#include "platform/net/SystemTime.h"

#include <ctime>

namespace platform {

bool RealtimeClock::Set(TimePoint time)
{
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch());
    const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    timespec value{};
    value.tv_sec = static_cast<std::time_t>(seconds.count());
    value.tv_nsec = static_cast<long>((sinceEpoch - seconds).count());
    return ::clock_settime(CLOCK_REALTIME, &value) == 0;
}

} // namespace platform
