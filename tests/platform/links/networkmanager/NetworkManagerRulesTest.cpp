#include "platform/links/networkmanager/NetworkManagerRules.h"

#include "platform/links/RasApi.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// A refusal reads as missing rights. Entries are watchable ids, once, in order; an id is dialled as
// its most recently used profile.
TEST(NetworkManagerRules, ARefusalEntriesAndTheProfileDialledForAnId)
{
    // The name the protocol must tell apart from a refusal of any other kind, by the permission it
    // wants; names are exact.
    EXPECT_STREQ(nm::MissingRight(nm::ErrorCode("org.freedesktop.NetworkManager.PermissionDenied")),
                 "NetworkManager's network-control permission (polkit)");
    const std::string longest(RasMaxEntryName - 1, 'x'), tooLong(RasMaxEntryName, 'x');
    const nm::Profile profiles[] = {
        {"Mobile", "gsm", 0, 50}, {"Mobile", "gsm", 0, 70}, {tooLong, "vpn"}, {longest, "vpn"}};
    EXPECT_EQ(nm::EntryNames(profiles), (std::vector<std::string>{"Mobile", longest}));
    EXPECT_EQ(nm::ProfileToDial(profiles, "Mobile"), &profiles[1]);
    EXPECT_EQ(nm::ProfileToDial(profiles, tooLong), nullptr);
}

} // namespace
