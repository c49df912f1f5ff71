#include "traffic/AutoReset.h"

#include "traffic/PackedDateTime.h"

bool AutoResetDue(std::uint32_t day, std::uint32_t lastResetPacked, int nowMonth, int nowDay)
{
    if (day == 0)
        return false;
    const PackedParts last = DecodePacked(lastResetPacked);
    int months = nowMonth - last.month;
    if (months < 0)
        months += 12;
    const auto resetDay = static_cast<std::int64_t>(day);
    return (months == 0 && last.day < resetDay && resetDay <= nowDay) ||
           (months == 1 && resetDay <= nowDay) || months >= 2;
}
