#include "platform/links/FakeRasApi.h"
#include "traffic/AutoReset.h"
#include "traffic/ByteFormat.h"
#include "traffic/CounterDeltas.h"
#include "traffic/LimitShare.h"
#include "traffic/LinkCheckpoint.h"
#include "traffic/LinkProbe.h"
#include "traffic/PackedDateTime.h"
#include "traffic/UsageSummary.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <limits>
#include <sys/mman.h>
#include <unistd.h>

using namespace platform;
using Limits = std::numeric_limits<std::int64_t>;

namespace {

std::uint32_t Packed(int year, int month, int day, QTime time = QTime(12, 0))
{
    return DateTimeToPacked(QDateTime(QDate(year, month, day), time));
}

// `bytes` copied to the end of a page that a page no one may read follows: a read past their end
// crashes.
std::span<const unsigned char> BeforeAGuardPage(std::span<const unsigned char> bytes)
{
    static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    static unsigned char* const end = [] {
        auto* pages = static_cast<unsigned char*>(
            ::mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        ::mprotect(pages + page, page, PROT_NONE);
        return pages + page;
    }();
    return {std::copy_backward(bytes.begin(), bytes.end(), end), end};
}

TEST(TrafficArithmetic, FormatsLimitSharesPackedDatesAutoResetsAndCounterDeltas)
{
    std::string texts;
    for (const std::int64_t bytes : {std::int64_t{0}, 999l, 1000l, 1234567l, 4294967296l,
                                     Limits::max(), -1l, -123l, -1234l, -123456l, Limits::min()})
        texts += FormatBytes(bytes) + ' ';
    EXPECT_EQ(texts, "0 999 1.000 1.234.567 4.294.967.296 9.223.372.036.854.775.807 -1 -123 -1.234 "
                     "-123.456 -9.223.372.036.854.775.808 ");

    // 1000 MByte are 10^9 bytes: 69 % ends one byte before 700,000,000. Nonsense limits neither
    // fail nor wrap.
    EXPECT_EQ(std::vector({LimitPercent(699'999'999, 1000), LimitPercent(700'000'000, 1000),
                           LimitPercent(999'999'999, 1000), LimitPercent(1'000'000'000, 1000),
                           LimitPercent(2'500'000'000, 1000), LimitPercent(0, 1),
                           LimitPercent(std::uint64_t{1} << 40, 4294967295u),
                           LimitPercent(123'456'789'000, 0), LimitPercent(~std::uint64_t{0}, 1)}),
              std::vector({69, 70, 99, 100, 250, 0, 0, 0, 2147483647}));

    // Two-second resolution from 1980 to 2107; garbage from a hand-edited store decodes without
    // failing.
    const std::uint32_t packed = Packed(2005, 3, 1, QTime(13, 7, 59));
    EXPECT_EQ(packed, (25u << 25 | 3u << 21 | 1u << 16) | (13u << 11 | 7u << 5 | 29u));
    EXPECT_EQ(DateText(packed) + " " + TimeText(packed), "01.03.2005 13:07:58");
    EXPECT_EQ(DateText(Packed(2107, 12, 31, QTime(23, 59, 58))), "31.12.2107");
    EXPECT_EQ(Packed(1979, 12, 31, QTime(23, 59, 59)) + Packed(2108, 1, 1), 0u);
    EXPECT_EQ(DateText(0xFFFFFFFF) + " " + TimeText(0xFFFFFFFF), "31.15.2107 31:63:62");

    // Rows of reset day, last reset (year, month, day), today (month, day): due this month once the
    // day came after the last reset, next month from the day on, always after two months or more
    // (also across the year end; a year ago compares as this month), never for day 0, and not for
    // day 31 in a month of 30 days.
    const std::tuple<std::uint32_t, int, int, int, int, int, bool> cases[] = {
        {15, 2026, 3, 3, 3, 20, true},   {15, 2026, 3, 20, 4, 10, false},
        {15, 2026, 3, 20, 4, 15, true},  {15, 2026, 3, 3, 4, 10, false},
        {15, 2026, 1, 3, 3, 1, true},    {15, 2026, 11, 20, 1, 2, true},
        {15, 2026, 3, 15, 3, 31, false}, {31, 2026, 4, 1, 4, 30, false},
        {0, 2026, 1, 1, 6, 30, false},   {15, 2025, 3, 3, 3, 20, true}};
    for (const auto& [day, lastYear, lastMonth, lastDay, month, today, due] : cases)
        EXPECT_EQ(AutoResetDue(day, Packed(lastYear, lastMonth, lastDay), month, today), due)
            << lastDay << "." << lastMonth << " -> " << today << "." << month << " day " << day;

    // Rows of last and new counters and the change: bytes past 2^32 and the duration wrapping on
    // a long connection; more than 4 GiB between two polls of a stalled program; a link made
    // anew between two polls (any counter went back), where the new values are the change.
    constexpr std::uint64_t G4 = std::uint64_t{1} << 32;
    const std::tuple<LinkCounters, LinkCounters, std::uint64_t, std::uint64_t, std::uint32_t>
        rows[] = {{{5000, 100, 1000}, {8000, 150, 2000}, 3000, 50, 1000},
                  {{G4 - 296, 10, 4294967000u}, {G4 + 704, 10, 704}, 1000, 0, 1000},
                  {{5000, 100, 1000}, {3 * G4 + 5007, 100, 47000}, 3 * G4 + 7, 0, 46000},
                  {{G4 + 5, 7, 1000}, {4, 9, 2000}, 4, 9, 2000},
                  {{900000, 50000, 600000}, {1200, 300, 800}, 1200, 300, 800},
                  {{900000, 50000, 600000}, {1200, 60000, 601000}, 1200, 60000, 601000},
                  {{1200, 50000, 600000}, {1500, 300, 601000}, 1500, 300, 601000},
                  {{3000000000u, 0, 5000}, {10, 0, 900}, 10, 0, 900}};
    for (const auto& [last, now, received, transmitted, duration] : rows) {
        const LinkCounters d = CounterDeltas(last, now);
        EXPECT_EQ(std::tuple(d.received, d.transmitted, d.durationMs),
                  std::tuple(received, transmitted, duration));
    }
}

// Rows of period start, reset day, today, limit (MB), the overall sums and the day rows (MB); the
// summary's texts and its budget, pace, total at the period's end and day the limit is passed, in
// bytes. Days without a row count zero, and the first day only what the period has of it.
TEST(UsageSummary, BudgetAndProjectionAtEveryStageOfAPeriod)
{
    constexpr std::uint64_t MB = 1'000'000;
    // The same bytes on every day from `first` to `last` but `gap`.
    const auto each = [](QDate first, QDate last, std::uint64_t rx, std::uint64_t tx,
                         QDate gap = {}) {
        std::vector<platform::UsageDay> rows;
        for (QDate day = first; day <= last; day = day.addDays(1))
            if (day != gap)
                rows.push_back({"dsl", day, rx * MB, tx * MB});
        return rows;
    };
    const QDate dec1(2026, 12, 1), dec10(2026, 12, 10);
    const std::vector<platform::UsageDay> noDays;
    const std::uint32_t dec1Start = Packed(2026, 12, 1, QTime(0, 0, 2));
    const std::tuple<std::uint32_t, std::uint32_t, QDate, std::uint32_t, std::uint64_t,
                     std::uint64_t, std::vector<platform::UsageDay>, const char*>
        rows[] = {
            {dec1Start, 1, dec1, 1000, 4, 1, each(dec1, dec1, 4, 1),
             "0 % of 1000 MB used · 995 MB left · period ends 01.01.2027 | 32 MB a day left until "
             "01.01.2027 | At 5 MB a day the period ends at about 155 MB | Pace: today so far, the "
             "period's first day | 32096774 5000000 155000000 -"},
            {Packed(2026, 12, 1, QTime(14, 0)), 0, QDate(2026, 12, 2), 1000, 50, 0,
             each(dec1, QDate(2026, 12, 2), 40, 0),
             "5 % of 1000 MB used · 950 MB left |  | At 10 MB a day the limit is reached on "
             "07.03.2027 | Pace: yesterday, the period's first day | - 10000000 - 2027-03-07"},
            {Packed(2027, 2, 1, QTime(0, 0, 2)), 1, QDate(2027, 2, 15), 1000, 450, 150,
             each(QDate(2027, 2, 1), QDate(2027, 2, 15), 30, 10),
             "60 % of 1000 MB used · 400 MB left · period ends 01.03.2027 | 28 MB a day left "
             "until 01.03.2027 | At 40 MB a day the limit is reached on 25.02.2027 | Pace: "
             "average of the 7 days before today | 28571428 40000000 1120000000 2027-02-25"},
            {dec1Start, 1, dec10, 50000, 15000, 2500, each(dec1, dec10, 1500, 250),
             "35 % of 50.0 GB used · 32.5 GB left · period ends 01.01.2027 | 1477 MB a day left "
             "until 01.01.2027 | At 1750 MB a day the limit is reached on 29.12.2026 | Pace: "
             "average of the 7 days before today | 1477272727 1750000000 54250000000 2026-12-29"},
            {dec1Start, 1, dec10, 100, 270, 0,
             each(QDate(2026, 12, 3), dec10, 30, 0, QDate(2026, 12, 6)),
             "270 % of 100 MB used · 0 MB left · period ends 01.01.2027 | 0 MB a day left until "
             "01.01.2027 | The limit was reached on 04.12.2026 | Pace: average of the 7 days "
             "before today | 0 25714285 809999985 2026-12-04"},
            {dec1Start, 0, dec10, 1000, 0, 0, noDays,
             "0 % of 1000 MB used · 1000 MB left |  | At 0 MB a day the limit is not reached "
             "within ten years | Pace: average of the 7 days before today | - 0 - -"},
            {Packed(2026, 11, 3, QTime(0, 0, 2)), 15, QDate(2026, 11, 20), 1000, 0, 0, noDays,
             "0 % of 1000 MB used · 1000 MB left · period ends 20.11.2026 |  | At 0 MB a day the "
             "period ends at about 0 MB | Pace: average of the 7 days before today | - 0 0 -"},
            {Packed(2026, 12, 5, QTime(0, 0, 2)), 1, dec10, 0, 5, 2,
             each(QDate(2026, 12, 9), QDate(2026, 12, 9), 5, 2),
             "7 MB used · no limit · period ends 01.01.2027 |  | At 1 MB a day the period ends at "
             "about 37 MB | Pace: average of the 5 days since the period began, today left out | "
             "- 1400000 37800000 -"},
            {Packed(2026, 12, 10, QTime(8, 0)), 0, dec10, 0, 0, 0, noDays,
             "0 MB used · no limit |  | At 0 MB a day, with no limit set | Pace: today so far, the "
             "period's first day | - 0 - -"},
        };
    const auto number = [](std::optional<std::uint64_t> value) {
        return value ? QString::number(*value) : "-";
    };
    for (const auto& [start, resetDay, today, limit, rx, tx, days, expected] : rows) {
        UsageInput input{start, resetDay, today, rx * MB, tx * MB, limit, "dsl", days};
        input.dayRows.push_back({"other", today, 999 * MB, 0}); // another connection's
        const UsageSummary summary = SummarizeUsage(input);
        const Projection& projection = summary.projection;
        const std::optional<QDate> reached = projection.limitReachedOn;
        EXPECT_EQ(QStringList({StatusLineText(summary), BudgetText(summary),
                               ProjectionText(summary), PaceMethodText(summary),
                               number(summary.dailyBudget) + " " + number(projection.perDay) + " " +
                                   number(projection.totalAtPeriodEnd) + " " +
                                   (reached ? reached->toString(Qt::ISODate) : "-")})
                      .join(" | ")
                      .toStdString(),
                  expected);
    }
    // Under a megabyte the amount still shows, truncated like the others.
    EXPECT_EQ(
        QStringList({MegabyteText(0), MegabyteText(999), MegabyteText(999'999), MegabyteText(MB),
                     MegabyteText(9'999'999'999), MegabyteText(10'000 * MB)})
            .join(" | ")
            .toStdString(),
        "0 MB | 999 B | 999 kB | 1 MB | 9999 MB | 10.0 GB");
}

// The first connection of the watched entry, by exact name, among the first twenty; the state it
// must be in to be accepted, if any, asked only of that one. The counters read are zeros on every
// failure: no connection, or statistics failing after the connection was found.
TEST(LinkProbe, FindsOnlyTheWatchedEntrysConnectionAndReadsItsCounters)
{
    using Links = std::vector<test::FakeRasApi::Connection>;
    constexpr RasHandle None = InvalidConnection;
    constexpr std::uint32_t Dialling = RasConnectingState, Dead = RasDisconnectedState;
    Links twentyOne(20, {100, "other"});
    twentyOne.push_back({7, "ISP"});
    const Links twenty(twentyOne.begin() + 1, twentyOne.end());
    const std::tuple<Links, const char*, StateTest, RasHandle> rows[] = {
        {{}, "ISP", IsEstablished, None},
        {{{3, "Other"}, {4, "isp"}, {5, "ISP "}, {6, "IS"}}, "ISP", IsEstablished, None},
        {{{3, "ISP"}}, "", nullptr, None},
        {{{2, "A"}, {3, "ISP"}}, "ISP", IsEstablished, 3},
        {{{3, "ISP", Dialling}}, "ISP", nullptr, 3},
        {{{3, "ISP", Dead}}, "ISP", IsClosable, 3},
        {{{3, "ISP", Dialling}}, "ISP", IsClosable, None},
        {{{3, "ISP", RasConnectedState, {}, 6}}, "ISP", IsEstablished, None}, // the status fails
        {{{3, "ISP", Dialling}, {4, "ISP"}}, "ISP", IsEstablished, None},
        {twenty, "ISP", IsEstablished, 7},
        {twentyOne, "ISP", nullptr, None}};
    test::FakeRasApi ras;
    for (const auto& [links, watched, accepts, expected] : rows) {
        ras.connections = links;
        EXPECT_EQ(FindConnection(ras, watched, accepts), expected) << links.size();
    }
    ras.connections = {{3, "ISP", RasConnectedState, {40000000000u, 12345, 61000}}};
    using Counters = std::tuple<std::uint64_t, std::uint64_t, std::uint32_t>;
    Counters read = {1, 2, 3};
    for (const auto& [connection, statsError, done, expected] :
         {std::tuple(None, 0, false, Counters{}),
          {3, 0, true, {40000000000u, 12345, 61000}},
          {3, 6, false, Counters{}}}) {
        ras.connections[0].statsError = statsError; // 6: the connection ended meanwhile
        auto& [received, transmitted, durationMs] = read;
        EXPECT_EQ(ReadStatistics(ras, connection, received, transmitted, durationMs), done);
        EXPECT_EQ(read, expected);
    }
    ras.enumError = 5;
    EXPECT_EQ(FindConnection(ras, "ISP", nullptr), None);
}

// A gap only on the same link in every part, known in every part, for sums of the same period,
// and only while neither counter went back. Base and sums wrap together, so sums beyond the link's
// own counters (links counted before it) still give the exact gap, and after a reset too.
// Anything but a whole record is no checkpoint, and nothing past its end is read.
TEST(LinkCheckpoint, AGapOnlyForTheSameLinkAndOnlyFromAWholeRecord)
{
    const LinkIdentity link{"1f0c", 9, 4, "wwan0", "/org/freedesktop/NetworkManager/A/3", "Mobile"};
    const PeriodSums sums{{5'000'000'000, 70}, 1234};
    std::vector<unsigned char> bytes;
    EncodeCheckpoint(CheckpointOf(link, {1'000, 90}, sums, 2'461'000), bytes);
    const auto stored = DecodeCheckpoint(bytes);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->day, 2'461'000);
    const auto other = [&](auto part, auto value) {
        LinkIdentity changed = link;
        changed.*part = value;
        return changed;
    };
    using Gap = std::optional<ByteCounts>;
    const std::tuple<LinkIdentity, ByteCounts, Gap> rows[] = {
        {link, {1'500, 90}, ByteCounts{500, 0}},
        {link, {1'000, 90}, ByteCounts{}},
        {link, {999, 5'000}, {}},
        {link, {5'000, 89}, {}},
        {other(&LinkIdentity::bootId, "1f0d"), {1'500, 90}, {}},
        {other(&LinkIdentity::namespaceCookie, 8), {1'500, 90}, {}},
        {other(&LinkIdentity::interfaceIndex, 5), {1'500, 90}, {}},
        {other(&LinkIdentity::interfaceName, "wwan1"), {1'500, 90}, {}},
        {other(&LinkIdentity::activeConnection, "/org/freedesktop/NetworkManager/A/4"),
         {1'500, 90},
         {}},
        {other(&LinkIdentity::entry, "Home"), {1'500, 90}, {}}};
    for (const auto& [now, counters, gap] : rows)
        EXPECT_EQ(UncountedSince(*stored, sums, now, counters), gap) << counters.received;
    // Sums of another period, even as large as the checkpoint's own (reset by a program that kept
    // no checkpoint), and sums reset by one that did.
    EXPECT_EQ(UncountedSince(*stored, {sums.bytes, 4321}, link, {1'500, 90}), Gap());
    const auto reset = CheckpointAfterReset(bytes, sums, 4321);
    EXPECT_EQ(UncountedSince(*DecodeCheckpoint(reset), {{}, 4321}, link, {1'500, 90}),
              (ByteCounts{500, 0}));
    for (const LinkIdentity& unknown :
         {other(&LinkIdentity::namespaceCookie, 0), other(&LinkIdentity::bootId, "")}) {
        std::vector<unsigned char> record;
        EncodeCheckpoint(CheckpointOf(unknown, {1'000, 90}, {}, 0), record);
        EXPECT_EQ(UncountedSince(*DecodeCheckpoint(record), {}, unknown, {1'500, 90}), Gap());
    }

    auto damaged = bytes;
    damaged.push_back(0);
    EXPECT_FALSE(DecodeCheckpoint(damaged));
    EXPECT_TRUE(CheckpointAfterReset(damaged, sums, 4321).empty());
    for (std::size_t size = 0; size < bytes.size(); ++size)
        EXPECT_FALSE(DecodeCheckpoint(BeforeAGuardPage(std::span(bytes).first(size)))) << size;
    for (const std::size_t at : {std::size_t{3}, std::size_t{44}}) { // the tag; a text's length
        damaged = bytes;
        damaged[at] ^= 0x80;
        EXPECT_FALSE(DecodeCheckpoint(damaged)) << at;
    }
}

} // namespace
