#include "traffic/LimitShare.h"

#include <limits>

std::int32_t LimitPercent(std::uint64_t totalBytes, std::uint32_t limitMegabytes)
{
    if (limitMegabytes == 0)
        return 0;
    const std::uint64_t percent = totalBytes / (std::uint64_t{limitMegabytes} * 10000);
    constexpr auto top = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(percent > top ? top : percent);
}
