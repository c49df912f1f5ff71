#pragma once

#include "traffic/UsageSummary.h"

#include <cstdint>

class CRegVars;

// The overall sums from their two 32-bit halves in the settings.
std::uint64_t OverallReceived(const CRegVars& settings);
std::uint64_t OverallTransmitted(const CRegVars& settings);

// The usage summary's inputs from the settings; with `withDays` also the day rows of the period
// from the store's usage history (none when the store has no history).
UsageInput ReadUsageInput(CRegVars& settings, const QDate& today, bool withDays);

// Every finished period, oldest first; none when the store has no history.
std::vector<platform::FinishedPeriod> ReadPeriods(CRegVars& settings);
