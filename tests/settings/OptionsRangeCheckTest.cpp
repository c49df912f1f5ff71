#include "settings/RangeCheck.h"

#include <gtest/gtest.h>

namespace {

struct RangeRow {
    const char* text;
    std::int32_t lowest;
    std::int32_t highest;
    std::optional<std::int32_t> number;
};

void PrintTo(const RangeRow& row, std::ostream* os)
{
    *os << '"' << row.text << "\" in [" << row.lowest << ", " << row.highest << ']';
}

class OptionsRangeCheck : public testing::TestWithParam<RangeRow> {};

TEST_P(OptionsRangeCheck, ReadsTheLeadingNumberAndChecksItsRange)
{
    const RangeRow& row = GetParam();
    EXPECT_EQ(NumberInRange(row.text, row.lowest, row.highest), row.number);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OptionsRangeCheck,
    testing::Values(RangeRow{" \t60\r\n", 1, 60, 60}, RangeRow{"12x5", 1, 60, 12},
                    RangeRow{"-5", -10, 10, -5}, RangeRow{"+ 5", 0, 60, 0},
                    RangeRow{"   ", 1, 60, std::nullopt}, RangeRow{"007", 1, 60, 7},
                    RangeRow{"2147483647", 1, 2147483647, 2147483647},
                    // These wrap to in-range numbers in 32-bit arithmetic.
                    RangeRow{"4294967304", 8, 26000, std::nullopt},
                    RangeRow{"-4294967288", 8, 26000, std::nullopt},
                    RangeRow{"2147483648", 1, 2147483647, std::nullopt},
                    RangeRow{"-2147483649", -2147483647 - 1, -1, std::nullopt}));

} // namespace
