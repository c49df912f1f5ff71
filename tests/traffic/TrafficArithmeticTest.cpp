#include "traffic/AutoReset.h"
#include "traffic/ByteFormat.h"
#include "traffic/CounterDeltas.h"
#include "traffic/LimitShare.h"
#include "traffic/PackedDateTime.h"

#include <gtest/gtest.h>
#include <limits>

TEST(TrafficArithmetic, FormatBytesGroupsDigitsWithFullStops)
{
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1.000"},
        {1234567, "1.234.567"},
        {4294967296, "4.294.967.296"},
        {std::numeric_limits<std::int64_t>::max(), "9.223.372.036.854.775.807"},
        {-1, "-1"},
        {-123, "-123"},
        {-1234, "-1.234"},
        {-123456, "-123.456"},
        {std::numeric_limits<std::int64_t>::min(), "-9.223.372.036.854.775.808"}};
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(FormatBytes(bytes), text) << bytes;
}

TEST(TrafficArithmetic, LimitPercentTruncatesToWholePerCent)
{
    // 1000 MByte are 10^9 bytes: 69 % ends one byte before 700,000,000.
    EXPECT_EQ(LimitPercent(699'999'999, 1000), 69);
    EXPECT_EQ(LimitPercent(700'000'000, 1000), 70);
    EXPECT_EQ(LimitPercent(6'999'999'999, 10000), 69);
    EXPECT_EQ(LimitPercent(7'000'000'000, 10000), 70);
    EXPECT_EQ(LimitPercent(999'999'999, 1000), 99); // 99.99 % is not yet the limit
    EXPECT_EQ(LimitPercent(1'000'000'000, 1000), 100);
    EXPECT_EQ(LimitPercent(2'500'000'000, 1000), 250);
    EXPECT_EQ(LimitPercent(0, 1), 0);
    EXPECT_EQ(LimitPercent(std::uint64_t{1} << 40, 4294967295u), 0);
    // Nonsense limits neither fail nor wrap.
    EXPECT_EQ(LimitPercent(123'456'789'000, 0), 0);
    EXPECT_EQ(LimitPercent(std::numeric_limits<std::uint64_t>::max(), 1),
              std::numeric_limits<std::int32_t>::max());
}

TEST(TrafficArithmetic, PackedDateTimeRoundTripsWithTwoSecondResolution)
{
    const QDateTime moment(QDate(2005, 3, 1), QTime(13, 7, 59));
    const std::uint32_t packed = DateTimeToPacked(moment);
    EXPECT_EQ(packed, (25u << 25 | 3u << 21 | 1u << 16) | (13u << 11 | 7u << 5 | 29u));
    EXPECT_EQ(DateText(packed), "01.03.2005");
    EXPECT_EQ(TimeText(packed), "13:07:58");
    const PackedParts parts = DecodePacked(packed);
    EXPECT_EQ(parts.year, 2005);
    EXPECT_EQ(parts.second, 58);

    EXPECT_EQ(DateText(DateTimeToPacked(QDateTime(QDate(2107, 12, 31), QTime(23, 59, 58)))),
              "31.12.2107");
    EXPECT_EQ(DateTimeToPacked(QDateTime(QDate(1979, 12, 31), QTime(23, 59, 59))), 0u);
    EXPECT_EQ(DateTimeToPacked(QDateTime(QDate(2108, 1, 1), QTime(0, 0))), 0u);
    // Garbage from a hand-edited store decodes without failing.
    EXPECT_EQ(DateText(0xFFFFFFFF), "31.15.2107");
    EXPECT_EQ(TimeText(0xFFFFFFFF), "31:63:62");
}

namespace {

std::uint32_t Packed(int year, int month, int day)
{
    return DateTimeToPacked(QDateTime(QDate(year, month, day), QTime(12, 0)));
}

} // namespace

TEST(TrafficArithmetic, AutoResetFollowsTheDayOfTheMonth)
{
    struct Case {
        std::uint32_t day;
        std::uint32_t last;
        int nowMonth;
        int nowDay;
        bool due;
    };
    const Case cases[] = {
        {15, Packed(2026, 3, 3), 3, 20, true},   // the day came this month
        {15, Packed(2026, 3, 20), 4, 10, false}, // next month, day not yet reached
        {15, Packed(2026, 3, 20), 4, 15, true},
        {15, Packed(2026, 3, 3), 4, 10, false},
        {15, Packed(2026, 1, 3), 3, 1, true}, // two months or more
        {15, Packed(2026, 1, 3), 12, 1, true},
        {15, Packed(2026, 12, 20), 1, 14, false}, // across the year end: one month
        {15, Packed(2026, 12, 20), 1, 15, true},
        {15, Packed(2026, 11, 20), 1, 2, true},  // November to January: two months
        {15, Packed(2026, 3, 15), 3, 31, false}, // already reset on the day itself
        {31, Packed(2026, 4, 1), 4, 30, false},  // day 31 in a month of 30 days
        {0, Packed(2026, 1, 1), 6, 30, false},   // never
        {15, Packed(2025, 3, 3), 3, 20, true},   // a year ago compares as this month
    };
    for (const Case& c : cases)
        EXPECT_EQ(AutoResetDue(c.day, c.last, c.nowMonth, c.nowDay), c.due)
            << DateText(c.last) << " -> " << c.nowDay << "." << c.nowMonth << " day " << c.day;
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
