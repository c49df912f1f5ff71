#include "traffic/PackedDateTime.h"

#include <cstdio>

std::uint32_t DateTimeToPacked(const QDateTime& local)
{
    const QDate date = local.date();
    const QTime time = local.time();
    if (date.year() < 1980 || date.year() > 2107)
        return 0;
    const std::uint32_t packedDate = (date.year() - 1980) << 9 | date.month() << 5 | date.day();
    const std::uint32_t packedTime = time.hour() << 11 | time.minute() << 5 | time.second() / 2;
    return packedDate << 16 | packedTime;
}

PackedParts DecodePacked(std::uint32_t packed)
{
    const std::uint32_t date = packed >> 16;
    const std::uint32_t time = packed & 0xFFFF;
    return {static_cast<int>(1980 + (date >> 9)), static_cast<int>((date >> 5) & 0xF),
            static_cast<int>(date & 0x1F),        static_cast<int>(time >> 11),
            static_cast<int>((time >> 5) & 0x3F), static_cast<int>((time & 0x1F) * 2)};
}

QDateTime PackedToDateTime(std::uint32_t packed)
{
    const PackedParts parts = DecodePacked(packed);
    return {QDate(parts.year, parts.month, parts.day),
            QTime(parts.hour, parts.minute, parts.second)};
}

std::string DateText(std::uint32_t packed)
{
    const PackedParts parts = DecodePacked(packed);
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", parts.day, parts.month, parts.year);
    return text;
}

std::string TimeText(std::uint32_t packed)
{
    const PackedParts parts = DecodePacked(packed);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", parts.hour, parts.minute, parts.second);
    return text;
}
