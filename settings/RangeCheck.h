#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Field text without leading and trailing blanks and control characters. Works on UTF-8 bytes:
// the bytes removed never occur inside a multi-byte character.
std::string_view TrimBlanks(std::string_view text);

// The number a field holds when it lies in [lowest, highest]. The trimmed text is read like C's
// decimal conversion: an optional sign, the digits up to the first other character, the rest
// ignored, and 0 when no digit follows the sign. Digits beyond the 32-bit range never wrap back
// into the range.
std::optional<std::int32_t> NumberInRange(std::string_view text, std::int32_t lowest,
                                          std::int32_t highest);
