#include "platform/NetworkManagerRules.h"

#include "platform/RasApi.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(NetworkManagerRules, StatesErrorNamesAndFailureReasonsReadAsTheProtocolShowsThem)
{
    const std::uint32_t states[] = {RasDisconnectedState, RasConnectingState, RasConnectedState,
                                    RasDisconnectedState, RasDisconnectedState};
    for (std::uint32_t state = 0; state < std::size(states); ++state)
        EXPECT_EQ(nm::ConnectState(state), states[state]) << "state " << state;

    // One name of each kind the protocol must tell apart, and what is not known.
    const std::pair<const char*, std::uint32_t> errors[] = {
        {"org.freedesktop.NetworkManager.PermissionDenied", EACCES},
        {"org.freedesktop.NetworkManager.UnknownConnection", ENOENT},
        {"org.freedesktop.NetworkManager.UnknownDevice", ENODEV},
        {"org.freedesktop.NetworkManager.ConnectionNotActive", RasErrorInvalidHandle},
        {"org.freedesktop.DBus.Error.ServiceUnknown", ECONNREFUSED},
        {"org.freedesktop.DBus.Error.NoReply", ETIMEDOUT},
        {"org.freedesktop.NetworkManager.Failed", EIO},
        {"org.freedesktop.networkmanager.permissiondenied", EIO}, // names are exact
    };
    for (const auto& [name, code] : errors)
        EXPECT_EQ(nm::ErrorCode(name), code) << name;

    const std::uint32_t reasons[] = {
        EIO, EIO,    ECONNABORTED, ENOLINK, EIO, EADDRNOTAVAIL, ETIMEDOUT, ETIMEDOUT,
        EIO, ENOKEY, EKEYREJECTED, ENOENT,  EIO, ENODEV,        ENODEV,    EIO};
    for (std::uint32_t reason = 0; reason < std::size(reasons); ++reason)
        EXPECT_EQ(nm::FailureCode(reason), reasons[reason]) << "reason " << reason;
    EXPECT_EQ(nm::VanishedError, std::uint32_t{ECONNABORTED});
}

// The longest id the watched entry's setting holds whole, and one byte more.
const std::string Longest(RasMaxEntryName - 1, 'x');
const std::string TooLong(RasMaxEntryName, 'x');

// Entries are watchable ids, once, in order; an id is dialled as its active profile, else as the
// most recently used one.
TEST(NetworkManagerRules, EntriesAndTheProfileDialledForAnId)
{
    const nm::Profile profiles[] = {
        {"Mobile", "gsm", 0, 50},
        {"Mobile", "gsm", 0, 70},
        {"Mobile", "gsm", 0, 60},
        {"Home", "802-3-ethernet", 0, 10, true},
        {"Home", "802-3-ethernet", 0, 90},
        {"lo", "loopback"},
        {"veth7", "802-3-ethernet", nm::ProfileExternal},
        {TooLong, "vpn"},
        {Longest, "vpn"},
    };
    EXPECT_EQ(nm::EntryNames(profiles), (std::vector<std::string>{"Mobile", "Home", Longest}));
    EXPECT_EQ(nm::ProfileToDial(profiles, "Mobile"), &profiles[1]);
    EXPECT_EQ(nm::ProfileToDial(profiles, "Home"), &profiles[3]);
    EXPECT_EQ(nm::ProfileToDial(profiles, Longest), &profiles[8]);
    for (const std::string& id :
         {std::string("mobile"), std::string("lo"), std::string("veth7"), TooLong, std::string()})
        EXPECT_EQ(nm::ProfileToDial(profiles, id), nullptr) << id;
}

} // namespace
