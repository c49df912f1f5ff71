#include "graph/GraphScale.h"

#include <gtest/gtest.h>

namespace {

struct Unit {
    std::uint32_t historyScaling;
    std::uint32_t bandwidth;
    const char* caption;
    std::array<const char*, 9> labelsUpwards;
};

void PrintTo(const Unit& unit, std::ostream* out)
{
    *out << "HistoryScaling " << unit.historyScaling << " bandwidth " << unit.bandwidth;
}

class GraphScaleUnit : public ::testing::TestWithParam<Unit> {};

TEST_P(GraphScaleUnit, CaptionAndLabelsFromBaselineToTop)
{
    const Unit unit = GetParam();
    const graph::GraphScale scale =
        graph::ChooseGraphScale(unit.historyScaling, unit.bandwidth, unit.bandwidth);
    EXPECT_STREQ(scale.caption, unit.caption);
    for (int row = 0; row <= 8; ++row)
        EXPECT_EQ(
            graph::LabelText(graph::LabelValue(scale.labelMaxTX, row, 8), scale.decimalLabels),
            unit.labelsUpwards[row])
            << "row " << row;
}

constexpr const char* KBit = "Traffic Graph [kBit/s]";
constexpr const char* KByte = "Traffic Graph [kByte/s]";
constexpr const char* MBit = "Traffic Graph [MBit/s]";
constexpr const char* MByte = "Traffic Graph [MByte/s]";

INSTANTIATE_TEST_SUITE_P(
    , GraphScaleUnit,
    ::testing::Values(
        Unit{0, 1024, KBit, {"0", "128", "256", "384", "512", "640", "768", "896", "1024"}},
        Unit{1, 1024, KByte, {"0", "16", "32", "48", "64", "80", "96", "112", "128"}},
        Unit{2,
             1024,
             MBit,
             {"0.00", "0.12", "0.25", "0.38", "0.51", "0.64", "0.76", "0.89", "1.02"}},
        Unit{3,
             1024,
             MByte,
             {"0.00", "0.01", "0.03", "0.04", "0.06", "0.08", "0.09", "0.11", "0.12"}},
        Unit{5,
             1024,
             MByte,
             {"0.00", "0.01", "0.03", "0.04", "0.06", "0.08", "0.09", "0.11", "0.12"}},
        Unit{1, 8, KByte, {"0", "0", "0", "0", "1", "1", "1", "1", "1"}},
        Unit{0, 0, KBit, {"0", "0", "0", "0", "0", "0", "0", "0", "0"}}));

// Only a hand-edited store holds such bandwidths; they must not turn negative or overflow.
TEST(GraphScale, HugeBandwidthsShiftUnsignedAndLabelWithoutOverflow)
{
    EXPECT_EQ(graph::ChooseGraphScale(1, 0xFFFFFFFF, 0).labelMaxRX, 0x1FFFFFFF);
    EXPECT_EQ(graph::LabelValue(0x7FFFFFFF, 4, 8), 0x40000000);
}

} // namespace
