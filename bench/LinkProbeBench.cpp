#include "platform/links/kernel/KernelLinks.h"
#include "traffic/LinkProbe.h"

#include <benchmark/benchmark.h>

// One watch-cycle probe of the loopback link: a link dump over the kept netlink socket, then
// status and statistics from that snapshot.
static void BM_ProbeLoopback(benchmark::State& state)
{
    platform::KernelLinks links;
    std::uint64_t received = 0, transmitted = 0;
    std::uint32_t duration = 0;
    for (auto _ : state) {
        const auto connection = FindConnection(links, "lo", true);
        if (!ReadStatistics(links, connection, received, transmitted, duration)) {
            state.SkipWithError("lo is not up in this namespace");
            break;
        }
        benchmark::DoNotOptimize(received);
    }
}
BENCHMARK(BM_ProbeLoopback);
