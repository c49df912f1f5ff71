// Reads arbitrary field text as the settings dialog does. Besides memory faults it checks what
// the dialog relies on: trimming only cuts blanks and control characters off the ends, a number
// is only ever accepted inside its range, and it is the number a second, independent reading
// finds, so digits beyond 32 bits never come back as a number.
#include "settings/RangeCheck.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

constexpr auto Require = [](bool holds) { holds ? void() : std::abort(); };

constexpr auto IsBlankOrControl = [](char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == 0x7F;
};

// Ranges like the dialog's, the widest, a single value and an empty one.
constexpr std::int32_t Min = std::numeric_limits<std::int32_t>::min(), Max = -(Min + 1);
constexpr std::pair<std::int32_t, std::int32_t> Ranges[] = {{0, 100},   {1, 65535}, {-1000, 1000},
                                                            {Min, Max}, {7, 7},     {5, -5}};

// C's own decimal conversion of trimmed text, when the result fits 32 bits.
std::optional<std::int32_t> ReadReference(std::string_view text)
{
    const long long number = std::strtoll(std::string(text).c_str(), nullptr, 10);
    return number < Min || number > Max ? std::nullopt : std::optional(std::int32_t(number));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string_view trimmed = TrimBlanks(text);
    const char* end = text.data() + text.size();
    Require(trimmed.data() >= text.data() && trimmed.data() + trimmed.size() <= end);
    Require(std::all_of(text.data(), trimmed.data(), IsBlankOrControl) &&
            std::all_of(trimmed.data() + trimmed.size(), end, IsBlankOrControl));
    Require(trimmed.empty() ||
            (!IsBlankOrControl(trimmed.front()) && !IsBlankOrControl(trimmed.back())));
    const std::optional<std::int32_t> expected = ReadReference(trimmed);
    for (const auto& [lowest, highest] : Ranges) {
        const std::optional<std::int32_t> number = NumberInRange(text, lowest, highest);
        Require(number.has_value() == (expected && *expected >= lowest && *expected <= highest));
        Require(!number || (*number == *expected && *number >= lowest && *number <= highest));
    }
    return 0;
}
