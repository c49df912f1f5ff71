#pragma once

#include <cstdint>
#include <string>

// The traffic log: one record per finished accounting period, appended to "Quillmar.log" in the
// working directory and never read back, but for a look at its last record.

// Five CR LF lines: the period (packed start and end), the three counts as the window's labels
// show them, right-aligned in 17 characters and never cut, then an empty line.
std::string TrafficLogRecord(std::uint32_t periodStart, std::uint32_t periodEnd,
                             std::uint64_t received, std::uint64_t transmitted);
