#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// A byte count in decimal with "." between groups of three digits, whatever the locale:
// 1234567 gives "1.234.567". A negative count keeps its sign in front of the grouped digits.
std::string FormatBytes(std::int64_t bytes);

// Room for the longest such text, "-9.223.372.036.854.775.808".
using ByteText = std::array<char, 26>;
// The same text written into `room`, without an allocation, for the counters shown every second.
std::string_view FormatBytes(std::int64_t bytes, ByteText& room);
