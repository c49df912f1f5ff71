#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// How NetworkManager's states, errors and profiles read as the link service's.
namespace platform::nm {

inline constexpr std::uint32_t ActiveActivating = 1;
inline constexpr std::uint32_t ActiveActivated = 2;
// A connection that vanished while it was being dialled, without a reason given.
inline constexpr std::uint32_t VanishedError = 103; // ECONNABORTED

// Activating or activated.
bool IsUp(std::uint32_t activeState);
// The link service's connect state of an active connection's state.
std::uint32_t ConnectState(std::uint32_t activeState);
// The errno standing for a D-Bus error NetworkManager or the bus answered with.
std::uint32_t ErrorCode(std::string_view dbusErrorName);
// The errno standing for the reason an activation failed.
std::uint32_t FailureCode(std::uint32_t reason);
// The permission whose want an errno of ErrorCode stands for, as the user's protocol names it;
// null for any other.
const char* MissingRight(std::uint32_t error);

inline constexpr std::uint32_t ProfileExternal = 0x8;

struct Profile {
    std::string id;
    std::string type;
    std::uint32_t flags = 0;
    std::uint64_t timestamp = 0; // last use
    bool active = false;         // activating or activated
};

// The entry name a connection of this id may go by: only an id the watched entry's setting (255
// bytes) holds whole, since a cut name would dial another profile.
bool FitsEntryName(std::string_view id);
// The ids that can be watched, in NetworkManager's order, each once: no loopback, no profile
// NetworkManager made for a device it does not manage.
std::vector<std::string> EntryNames(std::span<const Profile> profiles);
// The profile to dial for entry `id`: the active one, else the most recently used; null for none.
const Profile* ProfileToDial(std::span<const Profile> profiles, std::string_view id);

} // namespace platform::nm
