#include "graph/HistBuffer.h"

#include <gtest/gtest.h>

namespace {

struct Fill {
    int capacity;
    int pushes;
};

void PrintTo(const Fill& fill, std::ostream* out)
{
    *out << fill.pushes << " into " << fill.capacity;
}

class GraphHistBuffer : public ::testing::TestWithParam<Fill> {};

// Sample number i is 1000 + i, so every value tells its age.
TEST_P(GraphHistBuffer, RecentYieldsTheKthNewestAndZeroOutOfRange)
{
    const auto [capacity, pushes] = GetParam();
    THistBuffer buffer(capacity);
    for (int i = 0; i < pushes; ++i)
        buffer.Push(1000 + i);

    const int kept = std::min(pushes, capacity);
    EXPECT_EQ(buffer.Capacity(), capacity);
    EXPECT_EQ(buffer.Count(), kept);
    EXPECT_EQ(buffer.Head(), pushes % capacity);
    for (int k = 1; k <= kept; ++k)
        EXPECT_EQ(buffer.Recent(k), 1000 + pushes - k) << "k = " << k;
    for (int k : {-1, 0, kept + 1, capacity + 1})
        EXPECT_EQ(buffer.Recent(k), 0) << "k = " << k;
}

INSTANTIATE_TEST_SUITE_P(, GraphHistBuffer,
                         ::testing::Values(Fill{5, 0}, Fill{5, 1}, Fill{5, 4}, Fill{5, 5},
                                           Fill{5, 6}, Fill{5, 17}, Fill{1, 3}, Fill{199, 450}));

} // namespace
