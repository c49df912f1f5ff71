#include "graph/HistBuffer.h"

#include <gtest/gtest.h>

namespace {

class GraphHistBuffer : public ::testing::TestWithParam<int> {};

// A ring of 5 after `pushes` samples numbered 1000, 1001, ...: every value tells its age.
TEST_P(GraphHistBuffer, RecentYieldsTheKthNewestAndZeroOutOfRange)
{
    const int pushes = GetParam();
    THistBuffer buffer(5);
    for (int i = 0; i < pushes; ++i)
        buffer.Push(1000 + i);

    const int kept = std::min(pushes, 5);
    EXPECT_EQ(buffer.Count(), kept);
    EXPECT_EQ(buffer.Head(), pushes % 5);
    for (int k = 1; k <= kept; ++k)
        EXPECT_EQ(buffer.Recent(k), 1000 + pushes - k) << "k = " << k;
    for (int k : {-1, 0, kept + 1})
        EXPECT_EQ(buffer.Recent(k), 0) << "k = " << k;
}

INSTANTIATE_TEST_SUITE_P(, GraphHistBuffer, ::testing::Values(0, 1, 4, 5, 6, 17));

} // namespace
