#pragma once

#include "platform/RasApi.h"

#include <cstdint>

inline constexpr platform::RasHandle InvalidConnection = 0xFFFFFFFF;

platform::RasHandle FindConnection(platform::RasApi& ras, const char* connectionName,
                                   bool checkState);
bool ReadStatistics(platform::RasApi& ras, platform::RasHandle connection, std::uint32_t& received,
                    std::uint32_t& transmitted, std::uint32_t& durationMs);
