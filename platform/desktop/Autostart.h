#pragma once

#include <filesystem>
#include <string>

namespace platform {

// The user's own autostart entry for Quillmar, which the desktop session follows at login:
// $XDG_CONFIG_HOME/autostart/org.quillmar.Quillmar.desktop (~/.config when unset or relative).
// Empty when no home folder is known.
std::filesystem::path autostartEntry();

bool autostartEntryExists(const std::filesystem::path& entry);

// Writes the entry so that the session starts `program` (an absolute path) without arguments.
// An error text for the user, empty on success.
std::string writeAutostartEntry(const std::filesystem::path& entry,
                                const std::filesystem::path& program);

// Removes the entry; one that is not there is no error. An error text, empty on success.
std::string removeAutostartEntry(const std::filesystem::path& entry);

} // namespace platform
