#pragma once

#include <cstdint>
#include <string>

// The traffic log: one record per finished accounting period, appended to "Quillmar.log" in the
// working directory and never read back.

// Five CR LF lines: the period (packed start and end), the three counts as the window shows them,
// right-aligned in 17 characters and never cut, then an empty line.
std::string TrafficLogRecord(std::uint32_t periodStart, std::uint32_t periodEnd,
                             const std::string& received, const std::string& transmitted,
                             const std::string& sum);

// Appends the record in one write, so that a kill never leaves half of it. A log that cannot be
// written loses the record without a word.
void AppendTrafficLog(const std::string& record);
