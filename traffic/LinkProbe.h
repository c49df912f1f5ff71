#pragma once

#include "platform/RasApi.h"

#include <cstdint>

// The program's view of the watched line: which active connection belongs to the watched entry,
// and its counters. Nothing is kept between calls; every failure reads as "no connection".

inline constexpr platform::RasHandle InvalidConnection = 0xFFFFFFFF;

// The connection of entry `connectionName` (compared exactly, case and all), or
// InvalidConnection. With `checkState` it must also be fully connected. Only the first active
// connection of that name counts, and more than 20 active connections hide it.
platform::RasHandle FindConnection(platform::RasApi& ras, const char* connectionName,
                                   bool checkState);

// Bytes received and transmitted and milliseconds connected; all three are 0 when false.
bool ReadStatistics(platform::RasApi& ras, platform::RasHandle connection, std::uint32_t& received,
                    std::uint32_t& transmitted, std::uint32_t& durationMs);
