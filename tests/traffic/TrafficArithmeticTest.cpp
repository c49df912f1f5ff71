#include "traffic/AutoReset.h"
#include "traffic/ByteFormat.h"
#include "traffic/CounterDeltas.h"
#include "traffic/LimitShare.h"
#include "traffic/PackedDateTime.h"

#include <gtest/gtest.h>
#include <limits>

using Limits = std::numeric_limits<std::int64_t>;

TEST(TrafficArithmetic, FormatBytesGroupsDigitsWithFullStops)
{
    std::string texts;
    for (const std::int64_t bytes : {std::int64_t{0}, 999l, 1000l, 1234567l, 4294967296l,
                                     Limits::max(), -1l, -123l, -1234l, -123456l, Limits::min()})
        texts += FormatBytes(bytes) + ' ';
    EXPECT_EQ(texts, "0 999 1.000 1.234.567 4.294.967.296 9.223.372.036.854.775.807 -1 -123 -1.234 "
                     "-123.456 -9.223.372.036.854.775.808 ");
}

// 1000 MByte are 10^9 bytes: 69 % ends one byte before 700,000,000. Nonsense limits neither fail
// nor wrap.
TEST(TrafficArithmetic, LimitPercentTruncatesToWholePerCent)
{
    EXPECT_EQ(std::vector({LimitPercent(699'999'999, 1000), LimitPercent(700'000'000, 1000),
                           LimitPercent(6'999'999'999, 10000), LimitPercent(7'000'000'000, 10000),
                           LimitPercent(999'999'999, 1000), LimitPercent(1'000'000'000, 1000),
                           LimitPercent(2'500'000'000, 1000), LimitPercent(0, 1),
                           LimitPercent(std::uint64_t{1} << 40, 4294967295u),
                           LimitPercent(123'456'789'000, 0), LimitPercent(~std::uint64_t{0}, 1)}),
              std::vector({69, 70, 69, 70, 99, 100, 250, 0, 0, 0, 2147483647}));
}

TEST(TrafficArithmetic, PackedDateTimeRoundTripsWithTwoSecondResolution)
{
    const std::uint32_t packed = DateTimeToPacked(QDateTime(QDate(2005, 3, 1), QTime(13, 7, 59)));
    EXPECT_EQ(packed, (25u << 25 | 3u << 21 | 1u << 16) | (13u << 11 | 7u << 5 | 29u));
    EXPECT_EQ(DateText(packed) + " " + TimeText(packed), "01.03.2005 13:07:58");
    EXPECT_EQ(DecodePacked(packed).year, 2005);
    EXPECT_EQ(DecodePacked(packed).second, 58);
    EXPECT_EQ(DateText(DateTimeToPacked(QDateTime(QDate(2107, 12, 31), QTime(23, 59, 58)))),
              "31.12.2107");
    EXPECT_EQ(DateTimeToPacked(QDateTime(QDate(1979, 12, 31), QTime(23, 59, 59))), 0u);
    EXPECT_EQ(DateTimeToPacked(QDateTime(QDate(2108, 1, 1), QTime(0, 0))), 0u);
    // Garbage from a hand-edited store decodes without failing.
    EXPECT_EQ(DateText(0xFFFFFFFF) + " " + TimeText(0xFFFFFFFF), "31.15.2107 31:63:62");
}

// Rows of reset day, last reset (month, day), today (month, day): due this month once the day came
// after the last reset, next month from the day on, always after two months or more (also across
// the year end), never for day 0, and not for day 31 in a month of 30 days.
TEST(TrafficArithmetic, AutoResetFollowsTheDayOfTheMonth)
{
    const std::tuple<std::uint32_t, int, int, int, int, bool> cases[] = {
        {15, 3, 3, 3, 20, true},    {15, 3, 20, 4, 10, false}, {15, 3, 20, 4, 15, true},
        {15, 3, 3, 4, 10, false},   {15, 1, 3, 3, 1, true},    {15, 1, 3, 12, 1, true},
        {15, 12, 20, 1, 14, false}, {15, 12, 20, 1, 15, true}, {15, 11, 20, 1, 2, true},
        {15, 3, 15, 3, 31, false},  {31, 4, 1, 4, 30, false},  {0, 1, 1, 6, 30, false}};
    for (const auto& [day, lastMonth, lastDay, month, today, due] : cases) {
        const auto last =
            DateTimeToPacked(QDateTime(QDate(2026, lastMonth, lastDay), QTime(12, 0)));
        EXPECT_EQ(AutoResetDue(day, last, month, today), due)
            << DateText(last) << " -> " << today << "." << month << " day " << day;
    }
    // A year ago compares as this month.
    EXPECT_TRUE(
        AutoResetDue(15, DateTimeToPacked(QDateTime(QDate(2025, 3, 3), QTime(12, 0))), 3, 20));
}

TEST(TrafficArithmetic, CounterDeltasWrapButNeverCountPhantomBytes)
{
    const auto deltas = [](LinkCounters last, LinkCounters now) {
        const LinkCounters d = CounterDeltas(last, now);
        return std::tuple(d.received, d.transmitted, d.durationMs);
    };
    EXPECT_EQ(deltas({5000, 100, 1000}, {8000, 150, 2000}), std::tuple(3000u, 50u, 1000u));
    // Counters and duration wrapping past 2^32 on a long connection.
    EXPECT_EQ(deltas({4294967000u, 10, 4294967000u}, {704, 10, 704}), std::tuple(1000u, 0u, 1000u));
    // The link was made anew between two polls: the new values are the change.
    EXPECT_EQ(deltas({900000, 50000, 600000}, {1200, 300, 800}), std::tuple(1200u, 300u, 800u));
    EXPECT_EQ(deltas({900000, 50000, 600000}, {1200, 60000, 601000}),
              std::tuple(1200u, 60000u, 601000u));
    EXPECT_EQ(deltas({3000000000u, 0, 5000}, {10, 0, 900}), std::tuple(10u, 0u, 900u));
}
