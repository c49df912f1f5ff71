#pragma once

#include "platform/links/RasApi.h"

#include <cstdint>

// The program's view of the watched line: which active connection belongs to the watched entry,
// and its counters. Nothing is kept between calls; every failure reads as "no connection".

inline constexpr platform::RasHandle InvalidConnection = 0xFFFFFFFF;

// Which states of a found connection a search accepts.
using StateTest = bool (*)(std::uint32_t state);

bool IsEstablished(std::uint32_t state);
// Established, or dead: the service still lists the line but it has gone down, so there is
// something to close. A line still being set up is neither.
bool IsClosable(std::uint32_t state);

// The connection of entry `connectionName` (compared exactly, case and all) if its state passes
// `accepts`, or InvalidConnection; without a test any state will do and none is asked. Only the
// first active connection of that name counts, and more than 20 active connections hide it.
platform::RasHandle FindConnection(platform::RasApi& ras, const char* connectionName,
                                   StateTest accepts);

// With `checkState` the connection must be fully established.
inline platform::RasHandle FindConnection(platform::RasApi& ras, const char* connectionName,
                                          bool checkState)
{
    return FindConnection(ras, connectionName, checkState ? IsEstablished : nullptr);
}

// Bytes received and transmitted and milliseconds connected; all three are 0 when false.
bool ReadStatistics(platform::RasApi& ras, platform::RasHandle connection, std::uint64_t& received,
                    std::uint64_t& transmitted, std::uint32_t& durationMs);
