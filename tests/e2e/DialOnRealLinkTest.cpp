// The main window's hang-up, redial and their protocol on a real link, the kernel's wan0.
#include "app/MainWindowFixture.h"
#include "graph/HistoryDisplay.h"
#include "platform/KernelLinks.h"
#include "platform/NetNamespace.h"

#include <QPushButton>
#include <chrono>
#include <optional>

using namespace std::chrono_literals;

namespace {

const QString Separator(51, '-');

// The test's main thread moves into home for good, which is fine as every test runs in a process
// of its own. Ticks run a second apart on the link service's clock, as the timer runs them.
class EndToEndDial : public test::MainWindowFixture {
protected:
    void SetUp() override
    {
        if (!test::CanCreateNamespaces())
            GTEST_SKIP() << test::NeedsRoot;
        wan.emplace();
        wan->home.EnterThisThread();
        settings->Connection.Set("wan0");
    }

    // The window goes before the link service it holds.
    void TearDown() override { form.reset(); }

    void TickSeconds(int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            now += 1s;
            Tick();
        }
    }

    std::optional<test::Wan> wan;
    std::chrono::steady_clock::time_point now;
    platform::KernelLinks links{[this] { return now; }};
};

TEST_F(EndToEndDial, HangUpTakesTheLinkDownAndAKeptConnectionIsRedialledOrWaitedFor)
{
    settings->KeepConnected.Set(1);
    StartWindow(links);
    ASSERT_TRUE(form->IsKeepingConnection());
    ASSERT_EQ(NewLines().back(), "We are currently connected");
    const QStringList connected{Separator, "Now, we are connected",
                                "Quillmar will keep the connection."};

    // Without the right to bring the link up, every tick tries and logs why it failed.
    {
        const test::WithoutNetAdmin withoutTheRight;
        wan->home.Check("ip link set wan0 down");
        Tick();
        EXPECT_EQ(NewLines(),
                  QStringList({"Now, we are disconnected", "Dialing...", "Dialing error: 1"}));
        Tick();
        EXPECT_EQ(NewLines(), QStringList({"Dialing...", "Dialing error: 1"}));
        EXPECT_FALSE(wan->IsUp());
    }
    Tick();
    EXPECT_EQ(NewLines(), QStringList({"Dialing...", "Dialing successful"}));
    EXPECT_TRUE(wan->IsUp());
    ASSERT_TRUE(wan->WaitForCarrier(true));
    Tick();
    EXPECT_EQ(NewLines(), connected);

    form->btDisconnect->click();
    EXPECT_FALSE(wan->IsUp());
    EXPECT_EQ(NewLines(), QStringList{"Connection closed successfully."});
    Tick(2);
    EXPECT_EQ(NewLines(), QStringList{"Now, we are disconnected"}); // and no redial
    form->btConnect->click();
    EXPECT_EQ(NewLines(), QStringList({"Dialing...", "Dialing successful"}));
    ASSERT_TRUE(wan->WaitForCarrier(true));
    Tick();
    EXPECT_EQ(NewLines(), connected);
    EXPECT_TRUE(form->IsKeepingConnection());

    // The carrier goes, wan0 stays up: there is nothing to dial while it is being set up or
    // after it has gone dead, so a minute passes without a word.
    wan->isp.Check("ip link set isp0 down");
    ASSERT_TRUE(wan->WaitForCarrier(false));
    Tick();
    EXPECT_EQ(NewLines(), QStringList{"Now, we are disconnected"});
    TickSeconds(60);
    EXPECT_EQ(NewLines(), QStringList{});

    // The carrier is back at the next tick, whose sample spans the second since the one before.
    wan->isp.Check("ip link set isp0 up");
    ASSERT_TRUE(wan->WaitForCarrier(true));
    wan->SendIn(10, 1000);
    settings->HistoryUpdateSpeed.Set(1);
    TickSeconds(1);
    EXPECT_EQ(NewLines(), connected);
    // 10 datagrams of 1042 bytes in that second: 83 kBit/s, not 83,360 as if they had come in
    // one millisecond.
    EXPECT_EQ(form->historyDisplay->HistoryRX().Recent(1),
              10 * (1000 + test::FrameOverhead) * 8 / 1000);

    // Disconnect leaves a line that is being set up alone, and takes a dead one down.
    wan->isp.Check("ip link set isp0 down");
    ASSERT_TRUE(wan->WaitForCarrier(false));
    Tick();
    form->btDisconnect->click();
    now += platform::KernelLinks::CarrierWait;
    form->btDisconnect->click();
    EXPECT_EQ(NewLines(), QStringList({"Now, we are disconnected",
                                       "It seems, that we are already disconnected.",
                                       "Connection closed successfully."}));
    EXPECT_FALSE(wan->IsUp());
}

} // namespace
