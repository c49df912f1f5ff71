#pragma once

#include "graph/BarChart.h"
#include "platform/store/UsageHistory.h"

#include <optional>
#include <vector>

struct UsageSummary;

// What the Usage History window's two charts show: a bar a day of the current period, labelled
// with the day of the month, and a bar a finished period, labelled with its first day.
std::vector<graph::ChartBar> DayBars(const std::vector<platform::UsageDay>& days);
std::vector<graph::ChartBar> PeriodBars(const std::vector<platform::FinishedPeriod>& periods);

// The limit spread evenly over the period's days, when there is a limit and the period has an
// end: a day's bar above it eats into the days after.
std::optional<graph::ChartLine> EvenShareLine(const UsageSummary& summary);
std::optional<graph::ChartLine> LimitLine(const UsageSummary& summary);
