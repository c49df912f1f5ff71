#include "traffic/ByteFormat.h"

std::string FormatBytes(std::int64_t bytes)
{
    ByteText room;
    return std::string(FormatBytes(bytes, room));
}

std::string_view FormatBytes(std::int64_t bytes, ByteText& room)
{
    // The magnitude as unsigned, so that the most negative value has digits too; written from
    // its last digit back.
    std::uint64_t magnitude = bytes < 0 ? 0 - static_cast<std::uint64_t>(bytes) : bytes;
    char* const end = room.data() + room.size();
    char* first = end;
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0)
            *--first = '.';
        *--first = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
        ++digits;
    } while (magnitude != 0);
    if (bytes < 0)
        *--first = '-';
    return {first, static_cast<std::size_t>(end - first)};
}
