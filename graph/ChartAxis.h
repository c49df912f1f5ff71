#pragma once

#include <QStringList>
#include <cstdint>

namespace graph {

// The value axis of a bar chart of bytes: four equal steps from 0 to `top`, each a round number
// (1, 2, 2.5, 3, 4 or 5 times a power of ten, at least 1 kB), labelled in the largest decimal unit
// that keeps every label whole: "0", "250 MB", "500 MB", "750 MB", "1000 MB".
struct ChartAxis {
    static constexpr int Steps = 4;
    std::uint64_t top = 0;
    QStringList labels; // from 0 upwards, Steps + 1 of them
};

// The lowest such axis that reaches `highest`.
ChartAxis ChooseChartAxis(std::uint64_t highest);

} // namespace graph
