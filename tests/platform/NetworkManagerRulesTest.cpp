#include "platform/NetworkManagerRules.h"

#include "platform/RasApi.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// States, error names and failure reasons read as the protocol shows them. Entries are watchable
// ids, once, in order; an id is dialled as its active profile, else as the most recently used one.
TEST(NetworkManagerRules, StatesErrorsReasonsEntriesAndTheProfileDialledForAnId)
{
    const std::uint32_t states[] = {RasDisconnectedState, RasConnectingState, RasConnectedState,
                                    RasDisconnectedState, RasDisconnectedState};
    for (std::uint32_t state = 0; state < std::size(states); ++state)
        EXPECT_EQ(nm::ConnectState(state), states[state]) << "state " << state;
    const std::uint32_t reasons[] = {
        EIO, EIO,    ECONNABORTED, ENOLINK, EIO, EADDRNOTAVAIL, ETIMEDOUT, ETIMEDOUT,
        EIO, ENOKEY, EKEYREJECTED, ENOENT,  EIO, ENODEV,        ENODEV,    EIO};
    for (std::uint32_t reason = 0; reason < std::size(reasons); ++reason)
        EXPECT_EQ(nm::FailureCode(reason), reasons[reason]) << "reason " << reason;
    EXPECT_EQ(nm::VanishedError, std::uint32_t{ECONNABORTED});
    // One name of each kind the protocol must tell apart, and what is not known; names are exact.
    for (const auto& [name, code] :
         {std::pair<std::string, std::uint32_t>("NetworkManager.PermissionDenied", EACCES),
          {"NetworkManager.UnknownConnection", ENOENT},
          {"NetworkManager.UnknownDevice", ENODEV},
          {"NetworkManager.ConnectionNotActive", RasErrorInvalidHandle},
          {"DBus.Error.ServiceUnknown", ECONNREFUSED},
          {"DBus.Error.NoReply", ETIMEDOUT},
          {"NetworkManager.Failed", EIO},
          {"networkmanager.permissiondenied", EIO}})
        EXPECT_EQ(nm::ErrorCode("org.freedesktop." + name), code) << name;

    const std::string longest(RasMaxEntryName - 1, 'x'), tooLong(RasMaxEntryName, 'x');
    const nm::Profile profiles[] = {{"Mobile", "gsm", 0, 50},
                                    {"Mobile", "gsm", 0, 70},
                                    {"Mobile", "gsm", 0, 60},
                                    {"Home", "802-3-ethernet", 0, 10, true},
                                    {"Home", "802-3-ethernet", 0, 90},
                                    {"lo", "loopback"},
                                    {"veth7", "802-3-ethernet", nm::ProfileExternal},
                                    {tooLong, "vpn"},
                                    {longest, "vpn"}};
    EXPECT_EQ(nm::EntryNames(profiles), (std::vector<std::string>{"Mobile", "Home", longest}));
    EXPECT_EQ(nm::ProfileToDial(profiles, "Mobile"), &profiles[1]);
    EXPECT_EQ(nm::ProfileToDial(profiles, "Home"), &profiles[3]);
    EXPECT_EQ(nm::ProfileToDial(profiles, longest), &profiles[8]);
    for (const std::string& id :
         {std::string("mobile"), std::string("lo"), std::string("veth7"), tooLong, std::string()})
        EXPECT_EQ(nm::ProfileToDial(profiles, id), nullptr) << id;
}

} // namespace
