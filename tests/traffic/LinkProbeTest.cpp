#include "traffic/LinkProbe.h"

#include "platform/FakeRasApi.h"

#include <functional>
#include <gtest/gtest.h>

using platform::RasConnectingState;
using platform::RasDisconnectedState;
using platform::RasHandle;

namespace {

struct FindCase {
    const char* description;
    std::function<void(test::FakeRasApi&)> setUp;
    const char* watched;
    StateTest accepts;
    RasHandle expected;
};

void PrintTo(const FindCase& c, std::ostream* os)
{
    *os << c.description;
}

void AddMany(test::FakeRasApi& ras, int count)
{
    for (int i = 1; i < count; ++i)
        ras.Add("other" + std::to_string(i), static_cast<RasHandle>(100 + i));
    ras.Add("ISP", 7);
}

class LinkProbeFind : public testing::TestWithParam<FindCase> {};

TEST_P(LinkProbeFind, FindsOnlyTheWatchedEntrysConnection)
{
    test::FakeRasApi ras;
    GetParam().setUp(ras);
    EXPECT_EQ(FindConnection(ras, GetParam().watched, GetParam().accepts), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkProbeFind,
    testing::Values(
        FindCase{"no connection", [](auto&) {}, "ISP", IsEstablished, InvalidConnection},
        FindCase{"another entry only", [](auto& r) { r.Add("Other", 3); }, "ISP", IsEstablished,
                 InvalidConnection},
        FindCase{"letter case differs", [](auto& r) { r.Add("isp", 3); }, "ISP", IsEstablished,
                 InvalidConnection},
        FindCase{"no trimming", [](auto& r) { r.Add("ISP ", 3); }, "ISP", IsEstablished,
                 InvalidConnection},
        FindCase{"empty name matches nothing", [](auto& r) { r.Add("ISP", 3); }, "", nullptr,
                 InvalidConnection},
        FindCase{"connected", [](auto& r) { r.Add("ISP", 3); }, "ISP", IsEstablished, 3},
        FindCase{"second of several",
                 [](auto& r) {
                     r.Add("A", 2);
                     r.Add("ISP", 3);
                 },
                 "ISP", IsEstablished, 3},
        FindCase{"being dialled, state checked",
                 [](auto& r) { r.Add("ISP", 3).state = RasConnectingState; }, "ISP", IsEstablished,
                 InvalidConnection},
        FindCase{"being dialled, any state",
                 [](auto& r) { r.Add("ISP", 3).state = RasConnectingState; }, "ISP", nullptr, 3},
        FindCase{"connected, to close", [](auto& r) { r.Add("ISP", 3); }, "ISP", IsClosable, 3},
        FindCase{"dead line, to close",
                 [](auto& r) { r.Add("ISP", 3).state = RasDisconnectedState; }, "ISP", IsClosable,
                 3},
        FindCase{"being dialled, to close",
                 [](auto& r) { r.Add("ISP", 3).state = RasConnectingState; }, "ISP", IsClosable,
                 InvalidConnection},
        FindCase{"status fails", [](auto& r) { r.Add("ISP", 3).statusError = 6; }, "ISP",
                 IsEstablished, InvalidConnection},
        FindCase{"first match being dialled hides a connected second",
                 [](auto& r) {
                     r.Add("ISP", 3).state = RasConnectingState;
                     r.Add("ISP", 4);
                 },
                 "ISP", IsEstablished, InvalidConnection},
        FindCase{"enumeration fails",
                 [](auto& r) {
                     r.Add("ISP", 3);
                     r.enumError = 5;
                 },
                 "ISP", nullptr, InvalidConnection},
        FindCase{"20 connections", [](auto& r) { AddMany(r, 20); }, "ISP", IsEstablished, 7},
        FindCase{"21 connections hide it", [](auto& r) { AddMany(r, 21); }, "ISP", nullptr,
                 InvalidConnection}));

// Zeros on every failure: no connection, or statistics failing after the connection was found.
TEST(LinkProbe, ReadsTheCountersOfTheConnectionOrZeros)
{
    test::FakeRasApi ras;
    ras.Add("ISP", 3).stats = {4000000000u, 12345, 61000};
    std::uint32_t received = 1, transmitted = 2, duration = 3;
    EXPECT_FALSE(ReadStatistics(ras, InvalidConnection, received, transmitted, duration));
    EXPECT_EQ(received + transmitted + duration, 0u);
    const RasHandle found = FindConnection(ras, "ISP", true);
    ASSERT_TRUE(ReadStatistics(ras, found, received, transmitted, duration));
    EXPECT_EQ(received, 4000000000u);
    EXPECT_EQ(transmitted, 12345u);
    EXPECT_EQ(duration, 61000u);
    ras.Find("ISP")->statsError = 6; // the connection ended between the two calls
    EXPECT_FALSE(ReadStatistics(ras, found, received, transmitted, duration));
    EXPECT_EQ(received + transmitted + duration, 0u);
}

} // namespace
