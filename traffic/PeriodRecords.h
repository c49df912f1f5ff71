#pragma once

#include "platform/store/UsageHistory.h"

#include <string>

class CRegistry;
class CRegVars;

// Finished accounting periods: each is kept in the store's usage history by the commit that
// starts the next period, and reaches the traffic log from there exactly once.

// In the working directory, so that each place the program is started from has its own.
inline constexpr const char* TrafficLogName = "Quillmar.log";

// Ends the accounting period in one commit: its row in the history, the overall sums at zero and
// its end as the new period's start, so a kill at any moment leaves the old period or the new
// one. False when the store did not keep the row (no usable history, or the commit failed): its
// record must then be written at once or never.
bool EndPeriod(CRegVars& settings, const platform::FinishedPeriod& period);

// Appends the period's record to the log; empty when it is there, else why not.
std::string WriteRecord(const platform::FinishedPeriod& period);

// Writes the records of the periods not yet in the log, oldest first, marking each as written.
// Stops at the first that cannot be written and returns why; empty when none is left.
std::string WritePendingRecords(CRegistry& registry);
