#include "graph/GraphScale.h"

#include <gtest/gtest.h>

using graph::ChooseGraphScale;

namespace {

struct UnitRow {
    std::uint32_t historyScaling;
    const char* caption;
    std::int32_t labelMaxRX; // at BandwidthRX 1024
    std::int32_t labelMaxTX; // at BandwidthTX 8
    bool decimal;
};

void PrintTo(const UnitRow& row, std::ostream* out)
{
    *out << "HistoryScaling " << row.historyScaling;
}

class GraphScaleUnits : public ::testing::TestWithParam<UnitRow> {};

TEST_P(GraphScaleUnits, CaptionMaximaAndDecimals)
{
    const UnitRow row = GetParam();
    const graph::GraphScale scale = ChooseGraphScale(row.historyScaling, 1024, 8);
    EXPECT_STREQ(scale.caption, row.caption);
    EXPECT_EQ(scale.labelMaxRX, row.labelMaxRX);
    EXPECT_EQ(scale.labelMaxTX, row.labelMaxTX);
    EXPECT_EQ(scale.decimalLabels, row.decimal);
}

INSTANTIATE_TEST_SUITE_P(, GraphScaleUnits,
                         ::testing::Values(UnitRow{0, "Traffic Graph [kBit/s]", 1024, 8, false},
                                           UnitRow{1, "Traffic Graph [kByte/s]", 128, 1, false},
                                           UnitRow{2, "Traffic Graph [MBit/s]", 1024, 8, true},
                                           UnitRow{3, "Traffic Graph [MByte/s]", 128, 1, true},
                                           UnitRow{5, "Traffic Graph [MByte/s]", 128, 1, true},
                                           UnitRow{0xFFFFFFFF, "Traffic Graph [MByte/s]", 128, 1,
                                                   true}));

TEST(GraphScale, ByteUnitsDivideAsAnUnsignedShift)
{
    const graph::GraphScale scale = ChooseGraphScale(1, 0xFFFFFFFF, 15);
    EXPECT_EQ(scale.labelMaxRX, 0x1FFFFFFF);
    EXPECT_EQ(scale.labelMaxTX, 1);
}

struct LabelColumn {
    std::uint32_t historyScaling;
    std::uint32_t bandwidth;
    std::array<const char*, 9> rowsUpwards;
};

void PrintTo(const LabelColumn& column, std::ostream* out)
{
    *out << "HistoryScaling " << column.historyScaling << " bandwidth " << column.bandwidth;
}

class GraphScaleLabels : public ::testing::TestWithParam<LabelColumn> {};

TEST_P(GraphScaleLabels, TextsFromBaselineToTop)
{
    const LabelColumn column = GetParam();
    const graph::GraphScale scale =
        ChooseGraphScale(column.historyScaling, column.bandwidth, column.bandwidth);
    for (int row = 0; row <= 8; ++row)
        EXPECT_EQ(
            graph::LabelText(graph::LabelValue(scale.labelMaxRX, row, 8), scale.decimalLabels),
            column.rowsUpwards[row])
            << "row " << row;
}

INSTANTIATE_TEST_SUITE_P(
    , GraphScaleLabels,
    ::testing::Values(
        LabelColumn{0, 1024, {"0", "128", "256", "384", "512", "640", "768", "896", "1024"}},
        LabelColumn{1, 1024, {"0", "16", "32", "48", "64", "80", "96", "112", "128"}},
        LabelColumn{
            2, 1024, {"0.00", "0.12", "0.25", "0.38", "0.51", "0.64", "0.76", "0.89", "1.02"}},
        LabelColumn{
            3, 1024, {"0.00", "0.01", "0.03", "0.04", "0.06", "0.08", "0.09", "0.11", "0.12"}},
        LabelColumn{
            5, 1024, {"0.00", "0.01", "0.03", "0.04", "0.06", "0.08", "0.09", "0.11", "0.12"}},
        LabelColumn{1, 8, {"0", "0", "0", "0", "1", "1", "1", "1", "1"}},
        LabelColumn{0, 0, {"0", "0", "0", "0", "0", "0", "0", "0", "0"}}));

TEST(GraphScale, LabelValuesOfHugeMaximaDoNotOverflow)
{
    EXPECT_EQ(graph::LabelValue(0x7FFFFFFF, 8, 8), 0x7FFFFFFF);
    EXPECT_EQ(graph::LabelValue(0x7FFFFFFF, 4, 8), 0x40000000);
}

} // namespace
