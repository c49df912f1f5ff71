// The real program watching wan0 inside a namespace: what it stores, and what it answers when
// asked beside it, against what the kernel counted on the link.
#include "platform/links/kernel/NetNamespace.h"
#include "platform/store/RegistryStore.h"
#include "settings/RegVars.h"
#include "settings/StoreRows.h"
#include "traffic/UsageReading.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

struct Bytes {
    std::uint64_t rx = 0, tx = 0;
    Bytes operator-(const Bytes& other) const { return {rx - other.rx, tx - other.tx}; }
    bool operator==(const Bytes&) const = default;
    bool AtMost(const Bytes& other) const { return rx <= other.rx && tx <= other.tx; }
};

Bytes Kernel(const test::Wan& wan)
{
    const auto [rx, tx] = wan.Counted();
    return {rx, tx};
}

// What the program answers beside it, as a user would ask.
QByteArray Ask(const QStringList& arguments)
{
    QProcess query;
    query.start(QUILLMAR_BINARY, arguments);
    query.waitForFinished(10000);
    return query.readAllStandardOutput();
}

QJsonObject Status()
{
    return QJsonDocument::fromJson(Ask({"--status", "--json"})).object();
}

Bytes Stored()
{
    const QJsonObject status = Status();
    return {std::uint64_t(status["received"].toInteger()),
            std::uint64_t(status["transmitted"].toInteger())};
}

// The program on the test's own store and lock, which its children share. It finds wan0 down
// and dials it right after its first look, so once wan0 is up it counts every byte that crosses
// the link from then on, and nothing crossed it before.
class EndToEndProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::CanCreateNamespaces())
            GTEST_SKIP() << test::NamespaceRefusal();
        wan.emplace();
        wan->home.Check("ip link set wan0 down");
        {
            CRegVars settings(platform::defaultRegistryFile());
            settings.Connection.Set("wan0");
            settings.AutoConnect.Set(1);
        }
        before = Kernel(*wan);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        Start();
        ASSERT_TRUE(program.waitForStarted());
        ASSERT_TRUE(wan->WaitForCarrier(true)) << "the program never dialled";
    }
    void Start()
    {
        program.start("ip",
                      {"netns", "exec", wan->home.name.c_str(), QUILLMAR_BINARY, "--links=kernel"});
    }
    // The kernel's count since the program dialled.
    Bytes Counted() const { return Kernel(*wan) - before; }
    // Datagrams both ways until it is stopped.
    std::jthread Transfer() const
    {
        return std::jthread([this](std::stop_token stop) {
            while (!stop.stop_requested())
                wan->SendOut(20, 1000), wan->SendIn(10, 1000);
        });
    }

    std::optional<test::Wan> wan;
    QProcess program;
    Bytes before;
};

TEST_F(EndToEndProgram, StoresWhatTheKernelCountedAtEveryTick)
{
    // Killed during a transfer, it has lost at most its last tick. A tick stores what it read at
    // its start, once a second; the slack covers a tick that runs late and its writes.
    std::jthread transfer = Transfer();
    std::vector<std::pair<Clock::time_point, Bytes>> samples; // the counters stood at least so high
    for (const auto killAt = Clock::now() + 2700ms; Clock::now() < killAt;)
        samples.emplace_back(Clock::now(), Counted());
    ASSERT_EQ(program.state(), QProcess::Running);
    const auto killedAt = Clock::now();
    program.kill();
    ASSERT_TRUE(program.waitForFinished(5000));
    transfer.request_stop();
    transfer.join();
    const Bytes atKill = Counted(); // read later, so never below the kill's
    const auto earlier = std::find_if(samples.rbegin(), samples.rend(), [&](const auto& sample) {
        return sample.first <= killedAt - 1500ms;
    });
    ASSERT_TRUE(earlier != samples.rend() && earlier->second.tx > 0);
    ASSERT_EQ(test::IntegrityCheck(platform::defaultRegistryFile()), "ok");
    const CRegVars stored(platform::defaultRegistryFile()); // the program has ended
    const Bytes counted{OverallReceived(stored), OverallTransmitted(stored)};
    EXPECT_TRUE(earlier->second.AtMost(counted) && counted.AtMost(atKill))
        << earlier->second.rx << " " << counted.rx << " " << atKill.rx << ", " << earlier->second.tx
        << " " << counted.tx << " " << atKill.tx;
}

// Asked beside the running program, which holds the lock and writes the store: once the link is
// quiet, the status's sums are the kernel's count since the program dialled, in the JSON's
// shape, and the history's lines are the status's days that carried traffic.
TEST_F(EndToEndProgram, AnswersTheKernelsCountWhileItRuns)
{
    wan->SendOut(30, 1000), wan->SendIn(20, 1000);
    QJsonObject status;
    Bytes counted;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            status = Status();
            counted = Counted();
            return status["received"].toInteger() == qint64(counted.rx) &&
                   status["transmitted"].toInteger() == qint64(counted.tx) && counted.tx > 30000;
        },
        10000))
        << counted.rx << " " << counted.tx;
    EXPECT_EQ(program.state(), QProcess::Running);
    const auto keys = [&](const char* name) { return status[name].toObject().keys().join(' '); };
    EXPECT_EQ(QStringList({status.keys().join(' '), keys("period"), keys("projection"),
                           status["connection"].toString(),
                           status.value("period")["end"].toString("null"),
                           QString::number(status["limit"].toInteger())})
                  .join(" | "),
              "connection daily_budget days left limit period periods projection received total "
              "transmitted used_percent | end start | limit_reached_on method per_day "
              "total_at_period_end | wan0 | null | 1000000000");
    QByteArray csv = "date,received,transmitted\n";
    for (const QJsonValue day : status["days"].toArray())
        if (const qint64 rx = day["received"].toInteger(), tx = day["transmitted"].toInteger();
            rx + tx > 0)
            csv += (day["date"].toString() + QString(",%1,%2\n").arg(rx).arg(tx)).toUtf8();
    EXPECT_EQ(Ask({"--history", "--csv"}), csv);
}

// Killed during a transfer that goes on while it is down and after it is back, the program counts
// at its start what crossed meanwhile: once the line is quiet, the store holds what the kernel
// counted since the program dialled, to the byte.
TEST_F(EndToEndProgram, AKillDuringATransferAndTheTimeDownLoseNoByte)
{
    std::jthread transfer = Transfer();
    ASSERT_TRUE(QTest::qWaitFor([] { return Stored().tx > 50000; }, 10000));
    program.kill();
    ASSERT_TRUE(program.waitForFinished(5000));
    const Bytes atKill = Counted();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Counted().tx > atKill.tx + 50000; }));
    Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Stored().tx > atKill.tx; }, 10000));
    transfer.request_stop();
    transfer.join();
    Bytes stored, counted;
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return (stored = Stored()) == (counted = Counted()); }, 10000))
        << stored.rx << " " << counted.rx << ", " << stored.tx << " " << counted.tx;
}

} // namespace
