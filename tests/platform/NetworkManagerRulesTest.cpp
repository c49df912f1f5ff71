#include "platform/NetworkManagerRules.h"

#include "platform/RasApi.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// States, error names and failure reasons read as the protocol shows them. Entries are watchable
// ids, once, in order; an id is dialled as its most recently used profile.
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
    // One name of each kind the protocol must tell apart, and what is not known; names are exact.
    for (const auto& [name, code] :
         {std::pair<std::string, std::uint32_t>("NetworkManager.PermissionDenied", EACCES),
          {"NetworkManager.ConnectionNotActive", RasErrorInvalidHandle},
          {"DBus.Error.ServiceUnknown", ECONNREFUSED},
          {"DBus.Error.NoReply", ETIMEDOUT},
          {"networkmanager.permissiondenied", EIO}})
        EXPECT_EQ(nm::ErrorCode("org.freedesktop." + name), code) << name;

    const std::string longest(RasMaxEntryName - 1, 'x'), tooLong(RasMaxEntryName, 'x');
    const nm::Profile profiles[] = {
        {"Mobile", "gsm", 0, 50}, {"Mobile", "gsm", 0, 70}, {tooLong, "vpn"}, {longest, "vpn"}};
    EXPECT_EQ(nm::EntryNames(profiles), (std::vector<std::string>{"Mobile", longest}));
    EXPECT_EQ(nm::ProfileToDial(profiles, "Mobile"), &profiles[1]);
    EXPECT_EQ(nm::ProfileToDial(profiles, tooLong), nullptr);
}

} // namespace
