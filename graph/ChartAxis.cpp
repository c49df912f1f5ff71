#include "graph/ChartAxis.h"

#include <algorithm>

namespace graph {

namespace {

// An exabyte is beyond any connection's period; above it bars run off the top, where the
// arithmetic of the steps would overflow.
constexpr std::uint64_t Highest = 1000000000000000000;

std::uint64_t RoundStep(std::uint64_t atLeast)
{
    // 1 kB is the first step of 10 hundreds of bytes.
    for (std::uint64_t hundreds = 100;; hundreds *= 10)
        for (const std::uint64_t multiple : {10, 20, 25, 30, 40, 50})
            if (hundreds * multiple >= atLeast)
                return hundreds * multiple;
}

} // namespace

ChartAxis ChooseChartAxis(std::uint64_t highest)
{
    highest = std::min(highest, Highest);
    const std::uint64_t step = RoundStep((highest + ChartAxis::Steps - 1) / ChartAxis::Steps);
    const auto [unit, name] = step % 1000000000 == 0 ? std::pair(1000000000, "GB")
                              : step % 1000000 == 0  ? std::pair(1000000, "MB")
                                                     : std::pair(1000, "kB");
    ChartAxis axis{.top = step * ChartAxis::Steps, .labels = {"0"}};
    for (int i = 1; i <= ChartAxis::Steps; ++i)
        axis.labels << QString("%1 %2").arg(step * i / unit).arg(name);
    return axis;
}

} // namespace graph
