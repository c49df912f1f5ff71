#pragma once

#include <cstdint>

// Whole per cent of the traffic limit (in megabytes of 1,000,000 bytes) that `totalBytes` uses,
// truncated. A limit of 0 is no limit at all: the share stays 0, so no hint fires and nothing is
// hung up. Shares beyond the 32-bit range stay at its top instead of wrapping negative.
std::int32_t LimitPercent(std::uint64_t totalBytes, std::uint32_t limitMegabytes);
