#pragma once

#include <cstdint>
#include <string>

// A byte count in decimal with "." between groups of three digits, whatever the locale:
// 1234567 gives "1.234.567". A negative count keeps its sign in front of the grouped digits.
std::string FormatBytes(std::int64_t bytes);
