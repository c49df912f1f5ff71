// The main window's hang-up, redial and their protocol on a real link, the kernel's wan0.
#include "app/MainWindowFixture.h"
#include "graph/HistoryDisplay.h"
#include "platform/KernelLinks.h"
#include "platform/NetNamespace.h"
#include "platform/TestTraffic.h"
#include "platform/ThreadCapabilities.h"

#include <QPushButton>
#include <chrono>
#include <linux/if.h>
#include <optional>

using namespace std::chrono_literals;

namespace {

const QString Separator(51, '-');

// wan0 in a "home" namespace, linked to isp0 in an "isp" namespace. The test's main thread moves
// into home for good, which is fine as every test runs in a process of its own.
class EndToEndDial : public test::MainWindowFixture {
protected:
    void SetUp() override
    {
        if (!test::NetNamespace::CanCreate())
            GTEST_SKIP() << "needs root to create network namespaces";
        home.emplace();
        isp.emplace();
        veth = test::ConnectVeth(*home, "wan0", *isp, "isp0");
        ASSERT_TRUE(test::WaitForOperState(*home, "wan0", true));
        home->EnterThisThread();
        settings->Connection.Set("wan0");
    }

    // The window goes before the link service it holds.
    void TearDown() override { form.reset(); }

    bool WanIsUp() const { return test::SysfsValue(*home, "wan0/flags") & IFF_UP; }

    // Ticks as the timer runs them, a second apart on the link service's clock.
    void TickSeconds(int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            now += 1s;
            Tick();
        }
    }

    std::optional<test::NetNamespace> home;
    std::optional<test::NetNamespace> isp;
    test::VethPair veth;
    std::chrono::steady_clock::time_point now;
    platform::KernelLinks links{[this] { return now; }};
};

TEST_F(EndToEndDial, HangUpTakesTheLinkDownAndAKeptConnectionIsRedialledOrWaitedFor)
{
    StartWindow(links);
    ASSERT_EQ(NewLines().back(), "We are currently connected");

    form->btDisconnect->click();
    EXPECT_FALSE(WanIsUp());
    EXPECT_EQ(NewLines(), QStringList{"Connection closed successfully."});
    Tick(2);
    EXPECT_EQ(NewLines(), QStringList{"Now, we are disconnected"}); // and no redial

    settings->KeepConnected.Set(1);
    form->btConnect->click();
    EXPECT_EQ(NewLines(), QStringList({"Dialing...", "Dialing successful"}));
    ASSERT_TRUE(test::WaitForOperState(*home, "wan0", true));
    Tick();
    const QStringList connected{Separator, "Now, we are connected",
                                "Quillmar will keep the connection."};
    EXPECT_EQ(NewLines(), connected);

    home->Check("ip link set wan0 down");
    Tick();
    EXPECT_EQ(NewLines(),
              QStringList({"Now, we are disconnected", "Dialing...", "Dialing successful"}));
    EXPECT_TRUE(WanIsUp());
    ASSERT_TRUE(test::WaitForOperState(*home, "wan0", true));
    Tick();
    EXPECT_EQ(NewLines(), connected);
    EXPECT_TRUE(form->IsKeepingConnection());

    // The carrier goes, wan0 stays up: there is nothing to dial while it is being set up or
    // after it has gone dead, so a minute passes without a word.
    isp->Check("ip link set isp0 down");
    ASSERT_TRUE(test::WaitForOperState(*home, "wan0", false));
    Tick();
    EXPECT_EQ(NewLines(), QStringList{"Now, we are disconnected"});
    TickSeconds(60);
    EXPECT_EQ(NewLines(), QStringList{});

    // The carrier is back at the next tick, whose sample spans the second since the one before.
    const test::Socket homeSink = test::UdpSocket(*home, veth.left.address, test::SinkPort);
    const test::Socket fromIsp = test::UdpSocket(*isp, veth.right.address, 0);
    isp->Check("ip link set isp0 up");
    ASSERT_TRUE(test::WaitForOperState(*home, "wan0", true));
    test::SendDatagrams(fromIsp, veth.left.address, 10, 1000);
    settings->HistoryUpdateSpeed.Set(1);
    TickSeconds(1);
    EXPECT_EQ(NewLines(), connected);
    // 10 datagrams of 1042 bytes in that second (the address lookup before them is too small to
    // show): 83 kBit/s, not 83,360 as if they had come in one millisecond.
    EXPECT_EQ(form->historyDisplay->HistoryRX().Recent(1),
              10 * (1000 + test::FrameOverhead) * 8 / 1000);

    // Disconnect leaves a line that is being set up alone, and takes a dead one down.
    isp->Check("ip link set isp0 down");
    ASSERT_TRUE(test::WaitForOperState(*home, "wan0", false));
    Tick();
    form->btDisconnect->click();
    now += platform::KernelLinks::CarrierWait;
    form->btDisconnect->click();
    EXPECT_EQ(NewLines(), QStringList({"Now, we are disconnected",
                                       "It seems, that we are already disconnected.",
                                       "Connection closed successfully."}));
    EXPECT_FALSE(WanIsUp());
}

TEST_F(EndToEndDial, ARedialWithoutTheRightLogsTheErrorAtEveryTick)
{
    settings->KeepConnected.Set(1);
    StartWindow(links);
    ASSERT_TRUE(form->IsKeepingConnection());
    NewLines();

    home->Check("ip link set wan0 down");
    test::DropNetAdminOnThisThread();
    Tick();
    EXPECT_EQ(NewLines(),
              QStringList({"Now, we are disconnected", "Dialing...", "Dialing error: 1"}));
    Tick();
    EXPECT_EQ(NewLines(), QStringList({"Dialing...", "Dialing error: 1"}));
    EXPECT_FALSE(WanIsUp());
}

} // namespace
