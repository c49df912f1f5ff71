#include "platform/links/networkmanager/NetworkManagerRules.h"

#include "platform/links/RasApi.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace platform::nm {

bool IsUp(std::uint32_t activeState)
{
    return activeState == ActiveActivating || activeState == ActiveActivated;
}

std::uint32_t ConnectState(std::uint32_t activeState)
{
    switch (activeState) {
    case ActiveActivating:
        return RasConnectingState;
    case ActiveActivated:
        return RasConnectedState;
    default: // unknown, deactivating, deactivated: gone
        return RasDisconnectedState;
    }
}

std::uint32_t ErrorCode(std::string_view dbusErrorName)
{
    static constexpr std::pair<std::string_view, std::uint32_t> Codes[] = {
        {"org.freedesktop.NetworkManager.PermissionDenied", EACCES},
        {"org.freedesktop.DBus.Error.AccessDenied", EACCES},
        {"org.freedesktop.NetworkManager.UnknownConnection", ENOENT},
        {"org.freedesktop.NetworkManager.UnknownDevice", ENODEV},
        {"org.freedesktop.NetworkManager.ConnectionNotActive", RasErrorInvalidHandle},
        // An object that is gone: D-Bus libraries answer for it in one of three ways.
        {"org.freedesktop.DBus.Error.UnknownObject", RasErrorInvalidHandle},
        {"org.freedesktop.DBus.Error.UnknownInterface", RasErrorInvalidHandle},
        {"org.freedesktop.DBus.Error.UnknownMethod", RasErrorInvalidHandle},
        {"org.freedesktop.DBus.Error.ServiceUnknown", ECONNREFUSED},
        {"org.freedesktop.DBus.Error.NameHasNoOwner", ECONNREFUSED},
        {"org.freedesktop.DBus.Error.Disconnected", ECONNREFUSED},
        {"org.freedesktop.DBus.Error.NoReply", ETIMEDOUT},
        {"org.freedesktop.DBus.Error.Timeout", ETIMEDOUT},
        {"org.freedesktop.DBus.Error.TimedOut", ETIMEDOUT},
    };
    for (const auto& [name, code] : Codes) {
        if (name == dbusErrorName)
            return code;
    }
    return EIO;
}

std::uint32_t FailureCode(std::uint32_t reason)
{
    switch (reason) {
    case 2: // deactivated by a user or another program
        return VanishedError;
    case 3: // device disconnected
        return ENOLINK;
    case 5: // IP configuration invalid
        return EADDRNOTAVAIL;
    case 6: // connect time-out
    case 7: // VPN service start time-out
        return ETIMEDOUT;
    case 9: // no secrets: no agent gave the SIM PIN or password
        return ENOKEY;
    case 10: // login failed
        return EKEYREJECTED;
    case 11: // profile removed
        return ENOENT;
    case 13: // device could not be realised
    case 14: // device removed
        return ENODEV;
    default:
        return EIO;
    }
}

// NetworkManager asks polkit before it activates or deactivates anything; polkit's refusal, like
// the bus's, reads as EACCES.
const char* MissingRight(std::uint32_t error)
{
    return error == EACCES ? "NetworkManager's network-control permission (polkit)" : nullptr;
}

bool FitsEntryName(std::string_view id)
{
    return id.size() < RasMaxEntryName;
}

namespace {

bool Watchable(const Profile& profile)
{
    return profile.type != "loopback" && !(profile.flags & ProfileExternal) &&
           FitsEntryName(profile.id);
}

} // namespace

std::vector<std::string> EntryNames(std::span<const Profile> profiles)
{
    std::vector<std::string> names;
    for (const Profile& profile : profiles) {
        if (Watchable(profile) && std::find(names.begin(), names.end(), profile.id) == names.end())
            names.push_back(profile.id);
    }
    return names;
}

const Profile* ProfileToDial(std::span<const Profile> profiles, std::string_view id)
{
    const Profile* chosen = nullptr;
    for (const Profile& profile : profiles) {
        if (!Watchable(profile) || profile.id != id)
            continue;
        const auto rank = [](const Profile& p) { return std::pair(p.active, p.timestamp); };
        if (!chosen || rank(profile) > rank(*chosen))
            chosen = &profile;
    }
    return chosen;
}

} // namespace platform::nm
