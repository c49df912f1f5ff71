#pragma once

#include <QDateTime>
#include <cstdint>
#include <string>

// The 32-bit packed local date-time of the accounting period: date in the high half (years since
// 1980, month, day), time in the low half (hour, minute, seconds / 2). 0 means "never set".
struct PackedParts {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
};

// Years before 1980 or after 2107 cannot be packed and give 0, like an unset date.
std::uint32_t DateTimeToPacked(const QDateTime& local);

// Reads the fields straight from their bits, so a hand-edited value never fails to decode.
PackedParts DecodePacked(std::uint32_t packed);
// The local date-time; invalid where the fields make no date (0, or a hand-edited value).
QDateTime PackedToDateTime(std::uint32_t packed);

std::string DateText(std::uint32_t packed); // "%02d.%02d.%04d": day, month, year
std::string TimeText(std::uint32_t packed); // "%02d:%02d:%02d": hour, minute, second
