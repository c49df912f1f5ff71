#include "platform/NetworkManagerRules.h"

#include "platform/RasApi.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace platform;

namespace {

struct Code {
    const char* from;
    std::uint32_t code;
};

TEST(NetworkManagerRules, ActiveStatesReadAsBeingSetUpConnectedOrGone)
{
    const std::uint32_t expected[] = {RasDisconnectedState, RasConnectingState, RasConnectedState,
                                      RasDisconnectedState, RasDisconnectedState};
    for (std::uint32_t state = 0; state < std::size(expected); ++state)
        EXPECT_EQ(nm::ConnectState(state), expected[state]) << "state " << state;
}

TEST(NetworkManagerRules, ErrorNamesReadAsErrnoValues)
{
    // One name of each kind the protocol must tell apart, and what is not known.
    const Code rows[] = {
        {"org.freedesktop.NetworkManager.PermissionDenied", EACCES},
        {"org.freedesktop.NetworkManager.UnknownConnection", ENOENT},
        {"org.freedesktop.NetworkManager.UnknownDevice", ENODEV},
        {"org.freedesktop.NetworkManager.ConnectionNotActive", RasErrorInvalidHandle},
        {"org.freedesktop.DBus.Error.ServiceUnknown", ECONNREFUSED},
        {"org.freedesktop.DBus.Error.NoReply", ETIMEDOUT},
        {"org.freedesktop.NetworkManager.Failed", EIO},
        {"org.freedesktop.networkmanager.permissiondenied", EIO}, // names are exact
    };
    for (const Code& row : rows)
        EXPECT_EQ(nm::ErrorCode(row.from), row.code) << row.from;
}

TEST(NetworkManagerRules, FailureReasonsReadAsErrnoValues)
{
    const std::pair<std::uint32_t, std::uint32_t> rows[] = {
        {0, EIO},  {1, EIO},           {2, ECONNABORTED},  {3, ENOLINK},
        {4, EIO},  {5, EADDRNOTAVAIL}, {6, ETIMEDOUT},     {7, ETIMEDOUT},
        {8, EIO},  {9, ENOKEY},        {10, EKEYREJECTED}, {11, ENOENT},
        {12, EIO}, {13, ENODEV},       {14, ENODEV},       {15, EIO},
    };
    for (const auto& [reason, code] : rows)
        EXPECT_EQ(nm::FailureCode(reason), code) << "reason " << reason;
    EXPECT_EQ(nm::VanishedError, std::uint32_t{ECONNABORTED});
}

// The longest id the watched entry's setting holds whole, and one byte more.
const std::string Longest(RasMaxEntryName - 1, 'x');
const std::string TooLong(RasMaxEntryName, 'x');

TEST(NetworkManagerRules, EntriesAreWatchableIdsOnceInOrder)
{
    const nm::Profile profiles[] = {
        {"Mobile", "gsm"},          {"lo", "loopback"},
        {"Home", "802-3-ethernet"}, {"veth7", "802-3-ethernet", nm::ProfileExternal},
        {"Mobile", "gsm", 0, 99},   {TooLong, "vpn"},
        {Longest, "vpn"},
    };
    EXPECT_EQ(nm::EntryNames(profiles), (std::vector<std::string>{"Mobile", "Home", Longest}));
}

TEST(NetworkManagerRules, AnIdIsDialledAsItsActiveProfileElseTheMostRecentlyUsed)
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
    };
    EXPECT_EQ(nm::ProfileToDial(profiles, "Mobile"), &profiles[1]);
    EXPECT_EQ(nm::ProfileToDial(profiles, "Home"), &profiles[3]);
    for (const std::string& id :
         {std::string("mobile"), std::string("lo"), std::string("veth7"), TooLong, std::string()})
        EXPECT_EQ(nm::ProfileToDial(profiles, id), nullptr) << id;
}

} // namespace
