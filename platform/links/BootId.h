#pragma once

#include <filesystem>
#include <string>

namespace platform {

// The kernel makes a new random id at each boot: a value kept from before tells whether the
// machine has started since.
inline constexpr const char* BootIdFile = "/proc/sys/kernel/random/boot_id";

// The first line of `file`; empty when it cannot be read or holds more than an id.
std::string ReadBootId(const std::filesystem::path& file);

} // namespace platform
