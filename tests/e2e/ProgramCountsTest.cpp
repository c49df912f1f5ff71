// The real program watching wan0 inside a namespace: what it stores against what the kernel
// counted on the link.
#include "platform/NetNamespace.h"
#include "platform/RegistryStore.h"
#include "settings/RegVars.h"
#include "settings/StoreRows.h"

#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

struct Bytes {
    std::uint64_t rx = 0, tx = 0;
    Bytes operator-(const Bytes& other) const { return {rx - other.rx, tx - other.tx}; }
    bool AtMost(const Bytes& other) const { return rx <= other.rx && tx <= other.tx; }
};

// The program runs on the test's own store and lock, which its children share. It finds wan0
// down and dials it right after its first look, so once wan0 is up it counts every byte that
// crosses the link from then on, and nothing crossed it before.
TEST(EndToEndProgram, StoresWhatTheKernelCountedAtEveryTick)
{
    if (!test::CanCreateNamespaces())
        GTEST_SKIP() << test::NeedsRoot;
    const test::Wan wan;
    wan.home.Check("ip link set wan0 down");
    {
        CRegVars settings(platform::defaultRegistryFile());
        settings.Connection.Set("wan0");
        settings.AutoConnect.Set(1);
    }
    const auto kernel = [&] {
        return Bytes{std::stoull(wan.Sys("statistics/rx_bytes")),
                     std::stoull(wan.Sys("statistics/tx_bytes"))};
    };
    const Bytes before = kernel();
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start("ip", {"netns", "exec", wan.home.name.c_str(), QUILLMAR_BINARY});
    ASSERT_TRUE(program.waitForStarted());
    ASSERT_TRUE(wan.WaitForCarrier(true)) << "the program never dialled";

    // Killed during a transfer, it has lost at most its last tick. A tick stores what it read at
    // its start, once a second; the slack covers a tick that runs late and its writes.
    std::jthread transfer([&](std::stop_token stop) {
        while (!stop.stop_requested())
            wan.SendOut(20, 1000), wan.SendIn(10, 1000);
    });
    std::vector<std::pair<Clock::time_point, Bytes>> samples; // the counters stood at least so high
    for (const auto killAt = Clock::now() + 2700ms; Clock::now() < killAt;)
        samples.emplace_back(Clock::now(), kernel() - before);
    ASSERT_EQ(program.state(), QProcess::Running);
    const auto killedAt = Clock::now();
    program.kill();
    ASSERT_TRUE(program.waitForFinished(5000));
    transfer.request_stop();
    transfer.join();
    const Bytes atKill = kernel() - before; // read later, so never below the kill's
    const auto earlier = std::find_if(samples.rbegin(), samples.rend(), [&](const auto& sample) {
        return sample.first <= killedAt - 1500ms;
    });
    ASSERT_TRUE(earlier != samples.rend() && earlier->second.tx > 0);
    ASSERT_EQ(test::IntegrityCheck(platform::defaultRegistryFile()), "ok");
    const CRegVars stored(platform::defaultRegistryFile()); // the program has ended
    const Bytes counted{std::uint64_t{stored.SumRXHi.Get()} << 32 | stored.SumRXLo.Get(),
                        std::uint64_t{stored.SumTXHi.Get()} << 32 | stored.SumTXLo.Get()};
    EXPECT_TRUE(earlier->second.AtMost(counted) && counted.AtMost(atKill))
        << earlier->second.rx << " " << counted.rx << " " << atKill.rx << ", " << earlier->second.tx
        << " " << counted.tx << " " << atKill.tx;
}

} // namespace
