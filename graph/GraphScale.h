#pragma once

#include <QString>
#include <cstdint>

namespace graph {

// What the chosen display unit makes of the two bandwidth settings.
struct GraphScale {
    const char* caption;
    std::int32_t labelMaxRX;
    std::int32_t labelMaxTX;
    bool decimalLabels;
};

// `historyScaling`: 0 kBit/s, 1 kByte/s, 2 MBit/s, anything else MByte/s. Bandwidths in kBit/s.
GraphScale ChooseGraphScale(std::uint32_t historyScaling, std::uint32_t bandwidthRX,
                            std::uint32_t bandwidthTX);

// Value of grid row `row` out of `divisions` when the top row shows `labelMax`, rounded to the
// nearest integer, halves upwards.
std::int32_t LabelValue(std::int32_t labelMax, int row, int divisions);

// "%d", or "%d.%02d" of thousandths when `decimal` (1024 gives "1.02").
QString LabelText(std::int32_t value, bool decimal);

} // namespace graph
