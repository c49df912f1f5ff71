#include "app/UsageCharts.h"

#include "traffic/PackedDateTime.h"
#include "traffic/UsageSummary.h"

#include <algorithm>

std::vector<graph::ChartBar> DayBars(const std::vector<platform::UsageDay>& days)
{
    std::vector<graph::ChartBar> bars;
    for (const platform::UsageDay& day : days)
        bars.push_back(
            {QString::number(day.day.day()), DayText(day.day), day.received, day.transmitted});
    return bars;
}

std::vector<graph::ChartBar> PeriodBars(const std::vector<platform::FinishedPeriod>& periods)
{
    std::vector<graph::ChartBar> bars;
    for (const platform::FinishedPeriod& period : periods) {
        const QString start = QString::fromStdString(DateText(period.start));
        bars.push_back({start, start + " to " + QString::fromStdString(DateText(period.end)),
                        period.received, period.transmitted});
    }
    return bars;
}

std::optional<graph::ChartLine> EvenShareLine(const UsageSummary& summary)
{
    if (summary.limit == 0 || !summary.end)
        return std::nullopt;
    // The reset day itself starts the next period.
    const qint64 days = std::max<qint64>(1, summary.start.date().daysTo(*summary.end));
    return graph::ChartLine{"Even share of the limit",
                            summary.limit / static_cast<std::uint64_t>(days)};
}

std::optional<graph::ChartLine> LimitLine(const UsageSummary& summary)
{
    if (summary.limit == 0)
        return std::nullopt;
    return graph::ChartLine{"Limit", summary.limit};
}
