#include "traffic/UsageSummary.h"

#include "traffic/AutoReset.h"
#include "traffic/LimitShare.h"
#include "traffic/PackedDateTime.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>

namespace {

constexpr std::uint64_t kMegabyte = 1'000'000;
// The reset rule fires two months after the last reset whatever the day, so its day always comes
// well within this.
constexpr int kEndSearchDays = 100;
// Without a period end the pace may point decades ahead: a date that far says nothing.
constexpr qint64 kHorizonDays = 3653;
constexpr int kPaceDays = 7;

std::uint64_t Total(const platform::UsageDay& day)
{
    return day.received + day.transmitted;
}

// Every day from `first` to `today`, the watched connection's rows added in, the first day cut
// down to what the overall sums leave for it after the later days.
std::vector<platform::UsageDay> PeriodDays(const UsageInput& input, const QDate& first)
{
    std::vector<platform::UsageDay> days(static_cast<std::size_t>(first.daysTo(input.today) + 1));
    for (std::size_t i = 0; i < days.size(); ++i)
        days[i] = {input.connection, first.addDays(static_cast<qint64>(i)), 0, 0};
    for (const platform::UsageDay& row : input.dayRows) {
        const qint64 index = first.daysTo(row.day);
        if (row.connection != input.connection || index < 0 ||
            index >= static_cast<qint64>(days.size()))
            continue;
        days[static_cast<std::size_t>(index)].received += row.received;
        days[static_cast<std::size_t>(index)].transmitted += row.transmitted;
    }
    std::uint64_t laterReceived = 0;
    std::uint64_t laterTransmitted = 0;
    for (std::size_t i = 1; i < days.size(); ++i) {
        laterReceived += days[i].received;
        laterTransmitted += days[i].transmitted;
    }
    const auto rest = [](std::uint64_t sum, std::uint64_t later) {
        return sum > later ? sum - later : 0;
    };
    days.front().received = std::min(days.front().received, rest(input.received, laterReceived));
    days.front().transmitted =
        std::min(days.front().transmitted, rest(input.transmitted, laterTransmitted));
    return days;
}

// The whole days before today, seven at most; today alone while it is the period's first day.
Projection Pace(const std::vector<platform::UsageDay>& days)
{
    Projection pace;
    const auto wholeDays = static_cast<int>(days.size()) - 1;
    pace.days = std::max(1, std::min(kPaceDays, wholeDays));
    pace.method = wholeDays == 0           ? PaceMethod::TodaySoFar
                  : wholeDays >= kPaceDays ? PaceMethod::LastSevenDays
                                           : PaceMethod::SincePeriodStart;
    const auto last = wholeDays == 0 ? days.end() : days.end() - 1;
    std::uint64_t sum = 0;
    for (auto day = last - pace.days; day != last; ++day)
        sum += Total(*day);
    pace.perDay = sum / static_cast<std::uint64_t>(pace.days);
    return pace;
}

// The first day on which the bytes counted so far reached the limit. Bytes the days do not hold
// (counted before the history began) are put before the first day.
QDate DayLimitPassed(const UsageSummary& summary)
{
    std::uint64_t inDays = 0;
    for (const platform::UsageDay& day : summary.days)
        inDays += Total(day);
    std::uint64_t counted = summary.total > inDays ? summary.total - inDays : 0;
    for (const platform::UsageDay& day : summary.days) {
        counted += Total(day);
        if (counted >= summary.limit)
            return day.day;
    }
    return summary.days.back().day;
}

// Today is expected to bring at least a day at the pace; each later day brings the pace.
void Project(UsageSummary& summary, const QDate& today)
{
    Projection& projection = summary.projection;
    const std::uint64_t todaySoFar = Total(summary.days.back());
    const std::uint64_t restOfToday =
        projection.perDay > todaySoFar ? projection.perDay - todaySoFar : 0;
    const bool endsLater = summary.end && today < *summary.end;
    if (summary.end) {
        const auto daysAfterToday = endsLater ? today.daysTo(*summary.end) - 1 : 0;
        projection.totalAtPeriodEnd =
            summary.total + (endsLater ? restOfToday : 0) +
            projection.perDay * static_cast<std::uint64_t>(daysAfterToday);
    }
    if (summary.limit == 0)
        return;
    if (summary.total >= summary.limit) {
        projection.limitReachedOn = DayLimitPassed(summary);
        return;
    }
    const std::uint64_t missing = summary.limit - summary.total;
    qint64 daysAhead = 0;
    if (restOfToday < missing) {
        if (projection.perDay == 0)
            return;
        daysAhead = static_cast<qint64>(std::min<std::uint64_t>(
            (missing - restOfToday + projection.perDay - 1) / projection.perDay, kHorizonDays + 1));
    }
    const QDate reached = today.addDays(daysAhead);
    if (daysAhead <= kHorizonDays && (!summary.end || reached < *summary.end))
        projection.limitReachedOn = reached;
}

// The status line is made every tick: its parts are put together as Latin-1 bytes, "·"
// included, and made a QString once, at a fraction of what QString's numbers and sums cost.
template <typename Number> void AppendNumber(std::string& text, Number number)
{
    std::array<char, 24> digits;
    char* const end = std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr;
    text.append(digits.data(), end);
}

void AppendTwoDigits(std::string& text, int number)
{
    if (number < 10)
        text += '0';
    AppendNumber(text, number);
}

void AppendDay(std::string& text, const QDate& day)
{
    int year = 0, month = 0, dayOfMonth = 0;
    day.getDate(&year, &month, &dayOfMonth);
    AppendTwoDigits(text, dayOfMonth);
    text += '.';
    AppendTwoDigits(text, month);
    text += '.';
    AppendNumber(text, year);
}

void AppendMegabytes(std::string& text, std::uint64_t bytes)
{
    // "0 MB left" while a few hundred kB remain would tell the user there is nothing left.
    if (bytes > 0 && bytes < 1000) {
        AppendNumber(text, bytes);
        text += " B";
    } else if (bytes > 0 && bytes < kMegabyte) {
        AppendNumber(text, bytes / 1000);
        text += " kB";
    } else if (bytes < 10'000 * kMegabyte) {
        AppendNumber(text, bytes / kMegabyte);
        text += " MB";
    } else {
        const std::uint64_t tenths = bytes / (100 * kMegabyte);
        AppendNumber(text, tenths / 10);
        text += '.';
        AppendNumber(text, tenths % 10);
        text += " GB";
    }
}

template <typename Append> QString Latin1Text(Append append)
{
    std::string text;
    append(text);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QString DayText(const QDate& day)
{
    return Latin1Text([&](std::string& text) { AppendDay(text, day); });
}

std::optional<QDate> PeriodEnd(std::uint32_t periodStart, std::uint32_t resetDay,
                               const QDate& today)
{
    if (resetDay == 0)
        return std::nullopt;
    for (int i = 0; i < kEndSearchDays; ++i) {
        const QDate day = today.addDays(i);
        int year = 0, month = 0, dayOfMonth = 0;
        day.getDate(&year, &month, &dayOfMonth); // one conversion, not one per field
        if (AutoResetDue(resetDay, periodStart, month, dayOfMonth))
            return day;
    }
    return std::nullopt;
}

UsageSummary SummarizeTotals(const UsageInput& input)
{
    UsageSummary summary;
    summary.end = PeriodEnd(input.periodStart, input.resetDay, input.today);
    summary.received = input.received;
    summary.transmitted = input.transmitted;
    summary.total = input.received + input.transmitted;
    summary.limit = std::uint64_t{input.limitMegabytes} * kMegabyte;
    summary.usedPercent = LimitPercent(summary.total, input.limitMegabytes);
    if (summary.limit != 0)
        summary.left = summary.total >= summary.limit ? 0 : summary.limit - summary.total;
    if (summary.left && summary.end && input.today < *summary.end)
        summary.dailyBudget =
            *summary.left / static_cast<std::uint64_t>(input.today.daysTo(*summary.end));
    return summary;
}

UsageSummary SummarizeUsage(const UsageInput& input)
{
    UsageSummary summary = SummarizeTotals(input);
    summary.start = PackedToDateTime(input.periodStart);
    // A start that cannot be read or lies ahead (the clock was set back) leaves today alone.
    const QDate startDay = summary.start.date();
    const QDate first = startDay.isValid() && startDay <= input.today ? startDay : input.today;
    summary.days = PeriodDays(input, first);
    summary.projection = Pace(summary.days);
    Project(summary, input.today);
    return summary;
}

QString MegabyteText(std::uint64_t bytes)
{
    return Latin1Text([&](std::string& text) { AppendMegabytes(text, bytes); });
}

QString StatusLineText(const UsageSummary& summary)
{
    return Latin1Text([&](std::string& text) {
        text.reserve(80);
        if (summary.left) {
            AppendNumber(text, summary.usedPercent);
            text += " % of ";
            AppendMegabytes(text, summary.limit);
            text += " used \xB7 ";
            AppendMegabytes(text, *summary.left);
            text += " left";
        } else {
            AppendMegabytes(text, summary.total);
            text += " used \xB7 no limit";
        }
        if (summary.end) {
            text += " \xB7 period ends ";
            AppendDay(text, *summary.end);
        }
    });
}

QString BudgetText(const UsageSummary& summary)
{
    if (!summary.dailyBudget)
        return {};
    return QStringLiteral("%1 a day left until %2")
        .arg(MegabyteText(*summary.dailyBudget), DayText(*summary.end));
}

QString ProjectionText(const UsageSummary& summary)
{
    const Projection& projection = summary.projection;
    if (summary.limit != 0 && summary.total >= summary.limit)
        return QStringLiteral("The limit was reached on ") + DayText(*projection.limitReachedOn);
    const QString pace = QStringLiteral("At %1 a day").arg(MegabyteText(projection.perDay));
    if (projection.limitReachedOn)
        return pace + QStringLiteral(" the limit is reached on ") +
               DayText(*projection.limitReachedOn);
    if (projection.totalAtPeriodEnd)
        return pace + QStringLiteral(" the period ends at about ") +
               MegabyteText(*projection.totalAtPeriodEnd);
    if (summary.limit != 0)
        return pace + QStringLiteral(" the limit is not reached within ten years");
    return pace + QStringLiteral(", with no limit set");
}

QString PaceMethodText(const UsageSummary& summary)
{
    const Projection& projection = summary.projection;
    switch (projection.method) {
    case PaceMethod::LastSevenDays:
        return QStringLiteral("Pace: average of the 7 days before today");
    case PaceMethod::SincePeriodStart:
        return projection.days == 1
                   ? QStringLiteral("Pace: yesterday, the period's first day")
                   : QStringLiteral("Pace: average of the %1 days since the period began, "
                                    "today left out")
                         .arg(projection.days);
    case PaceMethod::TodaySoFar:
        break;
    }
    return QStringLiteral("Pace: today so far, the period's first day");
}

const char* PaceMethodKey(PaceMethod method)
{
    switch (method) {
    case PaceMethod::LastSevenDays:
        return "last_7_days";
    case PaceMethod::SincePeriodStart:
        return "since_period_start";
    case PaceMethod::TodaySoFar:
        break;
    }
    return "today";
}
