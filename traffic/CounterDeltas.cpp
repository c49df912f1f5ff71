#include "traffic/CounterDeltas.h"

namespace {

bool DurationWentBack(std::uint32_t last, std::uint32_t now)
{
    return static_cast<std::int32_t>(now - last) < 0;
}

} // namespace

LinkCounters CounterDeltas(const LinkCounters& last, const LinkCounters& now)
{
    if (DurationWentBack(last.durationMs, now.durationMs) || now.received < last.received ||
        now.transmitted < last.transmitted)
        return now;
    return {now.received - last.received, now.transmitted - last.transmitted,
            now.durationMs - last.durationMs};
}
