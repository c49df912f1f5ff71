#pragma once

#include "platform/store/UsageHistory.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where the accounting period stands: used and left of the limit, when the period ends, what is
// left a day and where the recent pace leads. Pure arithmetic on the settings and the usage
// history, shared by the window's status line, the Usage History window and the command line.

struct UsageInput {
    std::uint32_t periodStart = 0; // LimitLastReset, packed
    std::uint32_t resetDay = 0;    // LimitAutoReset: day of the month, 0 = no automatic reset
    QDate today;                   // local
    std::uint64_t received = 0;    // the overall sums
    std::uint64_t transmitted = 0;
    std::uint32_t limitMegabytes = 0;        // TrafficLimit; 0 = no limit, as the program treats it
    std::string connection;                  // only its day rows count
    std::vector<platform::UsageDay> dayRows; // from the period's first day to today, any order
    bool operator==(const UsageInput&) const = default;
};

enum class PaceMethod {
    LastSevenDays,    // the seven whole days before today
    SincePeriodStart, // the whole days since the period began, fewer than seven
    TodaySoFar,       // the period began today: no whole day yet
};

struct Projection {
    PaceMethod method = PaceMethod::TodaySoFar;
    int days = 1;                                  // how many days the average is taken over
    std::uint64_t perDay = 0;                      // bytes a day at the recent pace
    std::optional<std::uint64_t> totalAtPeriodEnd; // none without a period end
    // The day the limit is passed: in the past when it already was, within this period (or
    // within ten years without a period end) when the pace gets there; none otherwise.
    std::optional<QDate> limitReachedOn;
};

struct UsageSummary {
    QDateTime start;          // local; SummarizeUsage only
    std::optional<QDate> end; // the day the automatic reset starts the next period
    std::uint64_t received = 0;
    std::uint64_t transmitted = 0;
    std::uint64_t total = 0;
    std::uint64_t limit = 0;                  // bytes; 0 = no limit
    std::int32_t usedPercent = 0;             // LimitPercent: whole per cent, truncated
    std::optional<std::uint64_t> left;        // none without a limit; 0 once passed
    std::optional<std::uint64_t> dailyBudget; // left over the days left, today included
    Projection projection;
    // Every day from the period's first to today, zero where no row was stored; the first day
    // holds only what the period has of it (the day row counts from midnight, the period from
    // its reset).
    std::vector<platform::UsageDay> days;
};

// The earliest day from `today` on that the automatic reset rule (AutoResetDue) holds: the reset
// comes at the first connected tick of that day. None when `resetDay` is 0.
std::optional<QDate> PeriodEnd(std::uint32_t periodStart, std::uint32_t resetDay,
                               const QDate& today);

// Everything but the start, the days and the projection, without looking at `dayRows`: cheap
// enough for every tick.
UsageSummary SummarizeTotals(const UsageInput& input);
UsageSummary SummarizeUsage(const UsageInput& input);

// DD.MM.YYYY, as every date the program shows.
QString DayText(const QDate& day);

// Byte amounts as people read them against a limit in MB of 1,000,000 bytes: whole MB below
// 10 GB ("688 MB", "1000 MB"), GB with one decimal above ("12.5 GB"), both truncated; below
// 1 MB in kB or bytes ("578 kB", "999 B"), so that what is left never reads as nothing.
QString MegabyteText(std::uint64_t bytes);

// "31 % of 1000 MB used · 688 MB left · period ends 01.01.2027"; without a limit
// "312 MB used · no limit", without a reset day the period's end is left out.
QString StatusLineText(const UsageSummary& summary);
// "22 MB a day left until 01.01.2027"; empty without a limit or a period end, or on the day the
// period ends.
QString BudgetText(const UsageSummary& summary);
// "At 31 MB a day the limit is reached on 24.12.2026", "At 31 MB a day the period ends at about
// 870 MB", "The limit was reached on 20.12.2026", …
QString ProjectionText(const UsageSummary& summary);
// How the pace is computed, e.g. "Pace: average of the 7 days before today".
QString PaceMethodText(const UsageSummary& summary);
// The method's name in the command line's JSON: "last_7_days", "since_period_start", "today".
const char* PaceMethodKey(PaceMethod method);
