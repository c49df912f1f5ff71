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
    testing::Values(RangeRow{"7", 8, 26000, std::nullopt}, RangeRow{"8", 8, 26000, 8},
                    RangeRow{"26000", 8, 26000, 26000}, RangeRow{"26001", 8, 26000, std::nullopt},
                    RangeRow{" \t60\r\n", 1, 60, 60}, RangeRow{"128 kbit", 8, 26000, 128},
                    RangeRow{"12x5", 1, 60, 12}, RangeRow{"+5", 1, 60, 5},
                    RangeRow{"-5", -10, 10, -5}, RangeRow{"-5", 1, 60, std::nullopt},
                    RangeRow{"+ 5", 0, 60, 0}, RangeRow{"abc", 1, 60, std::nullopt},
                    RangeRow{"", 1, 60, std::nullopt}, RangeRow{"   ", 1, 60, std::nullopt},
                    RangeRow{"0", 1, 60, std::nullopt}, RangeRow{"007", 1, 60, 7},
                    RangeRow{"2147483647", 1, 2147483647, 2147483647},
                    // These wrap to 8 in 32-bit arithmetic and must not slip into the range.
                    RangeRow{"4294967304", 8, 26000, std::nullopt},
                    RangeRow{"-4294967288", 8, 26000, std::nullopt},
                    RangeRow{"99999999999999999999", 1, 1000000, std::nullopt},
                    RangeRow{"2147483648", 1, 2147483647, std::nullopt}));

struct TrimRow {
    const char* text;
    const char* trimmed;
};

class OptionsTrimBlanks : public testing::TestWithParam<TrimRow> {};

TEST_P(OptionsTrimBlanks, RemovesBlanksAndControlCharactersAtBothEnds)
{
    EXPECT_EQ(TrimBlanks(GetParam().text), GetParam().trimmed);
}

INSTANTIATE_TEST_SUITE_P(Rows, OptionsTrimBlanks,
                         testing::Values(TrimRow{"", ""}, TrimRow{" \t\r\n\x1f\x7f", ""},
                                         TrimRow{"  eth0\t", "eth0"}, TrimRow{"my host", "my host"},
                                         TrimRow{"\xc3\xa4 ", "\xc3\xa4"}));

} // namespace
