#include "traffic/LinkProbe.h"

#include "platform/FakeRasApi.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

constexpr RasHandle None = InvalidConnection;
constexpr std::uint32_t Dialling = RasConnectingState, Dead = RasDisconnectedState;

struct Link {
    const char* entry;
    RasHandle handle;
    std::uint32_t state = RasConnectedState;
    std::uint32_t statusError = 0;
};

// The first connection of the watched entry, by exact name, among the first twenty; the state it
// must be in to be accepted, if any, asked only of that one.
TEST(LinkProbe, FindsOnlyTheWatchedEntrysConnection)
{
    std::vector<Link> twenty(19, {"other", 100});
    twenty.push_back({"ISP", 7});
    auto twentyOne = twenty;
    twentyOne.insert(twentyOne.begin(), {"other", 99});
    const std::tuple<std::vector<Link>, const char*, StateTest, RasHandle> rows[] = {
        {{}, "ISP", IsEstablished, None},
        {{{"Other", 3}}, "ISP", IsEstablished, None},
        {{{"isp", 3}}, "ISP", IsEstablished, None},
        {{{"ISP ", 3}}, "ISP", IsEstablished, None},
        {{{"ISP", 3}}, "", nullptr, None},
        {{{"ISP", 3}}, "ISP", IsEstablished, 3},
        {{{"A", 2}, {"ISP", 3}}, "ISP", IsEstablished, 3},
        {{{"ISP", 3, Dialling}}, "ISP", IsEstablished, None},
        {{{"ISP", 3, Dialling}}, "ISP", nullptr, 3},
        {{{"ISP", 3}}, "ISP", IsClosable, 3},
        {{{"ISP", 3, Dead}}, "ISP", IsClosable, 3},
        {{{"ISP", 3, Dialling}}, "ISP", IsClosable, None},
        {{{"ISP", 3, RasConnectedState, 6}}, "ISP", IsEstablished, None}, // the status fails
        {{{"ISP", 3, Dialling}, {"ISP", 4}}, "ISP", IsEstablished, None},
        {twenty, "ISP", IsEstablished, 7},
        {twentyOne, "ISP", nullptr, None}};
    for (const auto& [links, watched, accepts, expected] : rows) {
        test::FakeRasApi ras;
        for (const auto& [entry, handle, state, statusError] : links) {
            ras.Add(entry, handle).state = state;
            ras.connections.back().statusError = statusError;
        }
        EXPECT_EQ(FindConnection(ras, watched, accepts), expected) << links.size();
    }
    test::FakeRasApi ras;
    ras.Add("ISP", 3);
    ras.enumError = 5;
    EXPECT_EQ(FindConnection(ras, "ISP", nullptr), None);
}

// Zeros on every failure: no connection, or statistics failing after the connection was found.
TEST(LinkProbe, ReadsTheCountersOfTheConnectionOrZeros)
{
    test::FakeRasApi ras;
    ras.Add("ISP", 3).stats = {4000000000u, 12345, 61000};
    std::uint32_t received = 1, transmitted = 2, duration = 3;
    const auto read = [&](RasHandle connection) {
        const bool done = ReadStatistics(ras, connection, received, transmitted, duration);
        return std::tuple(done, received, transmitted, duration);
    };
    EXPECT_EQ(read(None), std::tuple(false, 0u, 0u, 0u));
    EXPECT_EQ(read(3), std::tuple(true, 4000000000u, 12345u, 61000u));
    ras.Find("ISP")->statsError = 6; // the connection ended between the two calls
    EXPECT_EQ(read(3), std::tuple(false, 0u, 0u, 0u));
}

} // namespace
