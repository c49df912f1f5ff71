#include "graph/GraphScale.h"

#include <algorithm>

namespace graph {

GraphScale ChooseGraphScale(std::uint32_t historyScaling, std::uint32_t bandwidthRX,
                            std::uint32_t bandwidthTX)
{
    static constexpr const char* captions[] = {"Traffic Graph [kBit/s]", "Traffic Graph [kByte/s]",
                                               "Traffic Graph [MBit/s]", "Traffic Graph [MByte/s]"};
    const std::uint32_t unit = std::min<std::uint32_t>(historyScaling, 3);
    const bool inBytes = unit == 1 || unit == 3;
    const unsigned shift = inBytes ? 3 : 0;
    return GraphScale{captions[unit], static_cast<std::int32_t>(bandwidthRX >> shift),
                      static_cast<std::int32_t>(bandwidthTX >> shift), unit >= 2};
}

std::int32_t LabelValue(std::int32_t labelMax, int row, int divisions)
{
    // 64 bits: a hand-edited store can hold maxima whose multiples overflow 32 bits.
    return static_cast<std::int32_t>((std::int64_t{labelMax} * row + divisions / 2) / divisions);
}

QString LabelText(std::int32_t value, bool decimal)
{
    if (decimal)
        return QString::asprintf("%d.%02d", value / 1000, value % 1000 / 10);
    return QString::number(value);
}

} // namespace graph
