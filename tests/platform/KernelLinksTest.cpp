#include "platform/KernelLinks.h"

#include <gtest/gtest.h>
#include <linux/if.h>

using namespace platform;

namespace {

// PPP devices report no operational state.
TEST(KernelLinks, ConnectedWhenUpRunningAndOperational)
{
    const unsigned running = IFF_UP | IFF_RUNNING;
    for (const auto& [flags, state, connected] : {std::tuple(running, IF_OPER_UP, true),
                                                  {running, IF_OPER_DOWN, false},
                                                  {running, IF_OPER_UNKNOWN, true},
                                                  {IFF_UP, IF_OPER_UNKNOWN, false}})
        EXPECT_EQ(IsConnected({0, flags, std::uint8_t(state)}), connected) << flags << " " << state;
}

} // namespace
