#include "settings/RangeCheck.h"

#include <algorithm>

namespace {

bool IsBlankOrControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte <= ' ' || byte == 0x7F;
}

// Any magnitude beyond 32 bits is held at this value, which lies outside every 32-bit range.
constexpr std::int64_t Beyond32Bits = std::int64_t{1} << 32;

std::int64_t ReadDecimal(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::int64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            break;
        magnitude = std::min(magnitude * 10 + (c - '0'), Beyond32Bits);
    }
    return negative ? -magnitude : magnitude;
}

} // namespace

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlankOrControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlankOrControl(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::int32_t> NumberInRange(std::string_view text, std::int32_t lowest,
                                          std::int32_t highest)
{
    const std::int64_t number = ReadDecimal(TrimBlanks(text));
    if (number < lowest || number > highest)
        return std::nullopt;
    return static_cast<std::int32_t>(number);
}
