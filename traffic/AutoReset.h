#pragma once

#include <cstdint>

// The monthly reset is due when the reset day of the month lies after the last reset and on or
// before today. `day` 0 means never. Months are compared without the year.
bool AutoResetDue(std::uint32_t day, std::uint32_t lastResetPacked, int nowMonth, int nowDay);
