// The real program watching wan0 inside a namespace: what it stores against what the kernel
// counted on the link.
#include "platform/NetNamespace.h"
#include "platform/RegistryStore.h"
#include "platform/TestTraffic.h"
#include "settings/RegVars.h"
#include "settings/StoreRows.h"
#include "traffic/PackedDateTime.h"

#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

struct Bytes {
    std::uint64_t rx;
    std::uint64_t tx;
    bool operator==(const Bytes&) const = default;
};

Bytes operator-(const Bytes& a, const Bytes& b)
{
    return {a.rx - b.rx, a.tx - b.tx};
}

// wan0 in a "home" namespace, linked to isp0 in an "isp" namespace, with a UDP sink and a sender
// on each side.
struct Wan {
    test::NetNamespace home;
    test::NetNamespace isp;
    test::VethPair veth = test::ConnectVeth(home, "wan0", isp, "isp0");
    test::Socket homeSink = test::UdpSocket(home, veth.left.address, test::SinkPort);
    test::Socket ispSink = test::UdpSocket(isp, veth.right.address, test::SinkPort);
    test::Socket fromHome = test::UdpSocket(home, veth.left.address, 0);
    test::Socket fromIsp = test::UdpSocket(isp, veth.right.address, 0);

    // `count` datagrams each way.
    void Send(int count, std::size_t size) const
    {
        test::SendDatagrams(fromHome, veth.right.address, count, size);
        test::SendDatagrams(fromIsp, veth.left.address, count, size);
    }

    Bytes Kernel() const
    {
        return {test::SysfsValue(home, "wan0/statistics/rx_bytes"),
                test::SysfsValue(home, "wan0/statistics/tx_bytes")};
    }
};

// The overall sums as stored, read without the settings catalogue, which never writes while the
// program runs. Rows come in creation order: SumRXHi, SumRXLo, SumTXHi, SumTXLo.
Bytes StoredSums()
{
    std::vector<std::uint64_t> words;
    for (const test::StoreRow& row : test::ReadStoreRows(platform::defaultRegistryFile())) {
        std::uint32_t word = 0;
        if (row.name.starts_with("Sum") && row.data.size() == sizeof word) {
            std::memcpy(&word, row.data.data(), sizeof word);
            words.push_back(word);
        }
    }
    return words.size() == 4 ? Bytes{words[0] << 32 | words[1], words[2] << 32 | words[3]}
                             : Bytes{};
}

// The program runs on the test's own store and lock, which its children share.
class EndToEndProgram : public testing::Test {
protected:
    void SetUp() override
    {
        if (!test::NetNamespace::CanCreate())
            GTEST_SKIP() << "needs root to create network namespaces";
        wan.emplace();
        wan->home.Check("ip link set wan0 down");
        CRegVars settings(platform::defaultRegistryFile());
        settings.Connection.Set("wan0");
        settings.AutoConnect.Set(1);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
    }

    void TearDown() override
    {
        program.kill();
        program.waitForFinished();
    }

    // The program finds wan0 down and dials it right after that first look, so once wan0 is up it
    // counts every byte that crosses the link from then on, and nothing crossed it before.
    void StartProgram()
    {
        before = wan->Kernel();
        wan->home.Start(program, QUILLMAR_BINARY, {});
        ASSERT_TRUE(program.waitForStarted());
        ASSERT_TRUE(test::WaitForOperState(wan->home, "wan0", true)) << "the program never dialled";
    }

    std::optional<Wan> wan;
    Bytes before{};
    QProcess program;
};

TEST_F(EndToEndProgram, StoresExactlyWhatTheKernelCountedOnTheLink)
{
    StartProgram();
    for (int round = 0; round < 5; ++round) { // spread over several ticks
        wan->Send(40, 900 + 50 * round);
        std::this_thread::sleep_for(300ms);
    }
    // A tick stores what it read, once a second: fifteen seconds are plenty.
    const Bytes kernel = wan->Kernel() - before;
    for (const auto deadline = Clock::now() + 15s;
         StoredSums() != kernel && Clock::now() < deadline;)
        std::this_thread::sleep_for(100ms);
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));

    const Bytes counted = StoredSums(); // and nothing more since
    EXPECT_EQ(counted.rx, kernel.rx);
    EXPECT_EQ(counted.tx, kernel.tx);
    EXPECT_EQ(wan->Kernel() - before, kernel);
}

TEST_F(EndToEndProgram, SigkillDuringATransferLosesAtMostTheLastTick)
{
    StartProgram();
    std::jthread transfer([this](std::stop_token stop) {
        for (int i = 0; i < 1000 && !stop.stop_requested(); ++i) {
            wan->Send(2, 1000);
            std::this_thread::sleep_for(5ms);
        }
    });
    struct Sample {
        Clock::time_point at; // after the read, when the counters stood at least this high
        Bytes bytes;
    };
    std::vector<Sample> samples;
    const auto killAt = Clock::now() + 2700ms;
    while (Clock::now() < killAt) {
        const Bytes bytes = wan->Kernel() - before;
        samples.push_back({Clock::now(), bytes});
    }
    ASSERT_EQ(program.state(), QProcess::Running);
    const auto killedAt = Clock::now();
    program.kill();
    ASSERT_TRUE(program.waitForFinished(5000));
    transfer.request_stop();
    transfer.join();
    const Bytes atKill = wan->Kernel() - before; // read later, so never below the kill's

    // A tick stores what it read at its start, once a second. The slack covers a tick that runs
    // late (the timer is coarse, the machine may be busy) and the moment its writes take.
    const auto lastTickBefore = killedAt - 1s - 500ms;
    const auto earlier = std::find_if(samples.rbegin(), samples.rend(),
                                      [&](const Sample& s) { return s.at <= lastTickBefore; });
    ASSERT_NE(earlier, samples.rend());
    ASSERT_GT(earlier->bytes.tx, 0u);

    ASSERT_EQ(test::IntegrityCheck(platform::defaultRegistryFile()), "ok");
    const Bytes counted = StoredSums();
    EXPECT_LE(counted.rx, atKill.rx);
    EXPECT_LE(counted.tx, atKill.tx);
    EXPECT_GE(counted.rx, earlier->bytes.rx);
    EXPECT_GE(counted.tx, earlier->bytes.tx);
}

// The monthly reset, due for two months, comes with the first tick that sees the line up; its
// record goes to the folder the program was started from.
TEST_F(EndToEndProgram, TheMonthlyResetLogsWhereTheProgramWasStarted)
{
    {
        CRegVars settings(platform::defaultRegistryFile());
        settings.LimitAutoReset.Set(1);
        settings.LimitLastReset.Set(DateTimeToPacked(QDateTime::currentDateTime().addMonths(-2)));
    }
    QTemporaryDir elsewhere;
    const std::filesystem::path log = elsewhere.filePath("Quillmar.log").toStdString();
    program.setWorkingDirectory(elsewhere.path());
    StartProgram();
    for (const auto deadline = Clock::now() + 15s;
         !std::filesystem::exists(log) && Clock::now() < deadline;)
        std::this_thread::sleep_for(100ms);
    program.kill();
    ASSERT_TRUE(program.waitForFinished(5000));

    std::string firstLine;
    std::getline(std::ifstream(log), firstLine);
    EXPECT_TRUE(firstLine.starts_with("Traffic from ")) << firstLine;
    EXPECT_FALSE(std::filesystem::exists("Quillmar.log")); // not in the test's own folder
}

} // namespace
