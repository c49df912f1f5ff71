#include "traffic/ByteFormat.h"

std::string FormatBytes(std::int64_t bytes)
{
    // The magnitude as unsigned, so that the most negative value has digits too.
    std::uint64_t magnitude = bytes < 0 ? 0 - static_cast<std::uint64_t>(bytes) : bytes;
    std::string digits = std::to_string(magnitude);
    for (auto n = static_cast<std::ptrdiff_t>(digits.size()) - 3; n > 0; n -= 3)
        digits.insert(static_cast<std::size_t>(n), 1, '.');
    return bytes < 0 ? "-" + digits : digits;
}
