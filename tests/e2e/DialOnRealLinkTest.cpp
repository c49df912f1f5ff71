// The main window's hang-up, redial and their protocol on a real link, the kernel's wan0.
#include "app/MainWindowFixture.h"
#include "platform/KernelLinks.h"
#include "platform/NetNamespace.h"

#include <QPushButton>

using namespace std::chrono_literals;

namespace {

// Ticks run a second apart on the link service's clock, as the timer runs them.
class EndToEndDial : public test::MainWindowFixture {
protected:
    void TearDown() override { form.reset(); } // before the link service it holds
    std::chrono::steady_clock::time_point now;
    platform::KernelLinks links{[this] { return now; }};
};

TEST_F(EndToEndDial, HangUpTakesTheLinkDownAndAKeptConnectionIsRedialledOrWaitedFor)
{
    if (!test::CanCreateNamespaces())
        GTEST_SKIP() << test::NeedsRoot;
    const test::Wan line;
    line.home.EnterThisThread(); // for good: every test runs in a process of its own
    settings->Connection.Set("wan0");
    settings->KeepConnected.Set(1);
    StartWindow(links);
    ASSERT_EQ(NewLines().back(), "We are currently connected");
    const QStringList connected{QString(51, '-'), "Now, we are connected",
                                "Quillmar will keep the connection."};

    // Without the right to bring the link up, every tick tries and logs why it failed.
    {
        const test::WithoutNetAdmin withoutTheRight;
        line.home.Check("ip link set wan0 down");
        Tick();
        EXPECT_EQ(NewLines(),
                  QStringList({"Now, we are disconnected", "Dialing...", "Dialing error: 1"}));
        Tick();
        EXPECT_EQ(NewLines(), QStringList({"Dialing...", "Dialing error: 1"}));
        EXPECT_FALSE(line.IsUp());
    }
    Tick();
    EXPECT_EQ(NewLines(), QStringList({"Dialing...", "Dialing successful"}));
    ASSERT_TRUE(line.WaitForCarrier(true));
    Tick();
    EXPECT_EQ(NewLines(), connected);

    form->btDisconnect->click();
    EXPECT_FALSE(line.IsUp());
    EXPECT_EQ(NewLines(), QStringList{"Connection closed successfully."});
    Tick(2);
    EXPECT_EQ(NewLines(), QStringList{"Now, we are disconnected"}); // and no redial
    form->btConnect->click();
    ASSERT_TRUE(line.WaitForCarrier(true));
    Tick();
    EXPECT_EQ(NewLines(), QStringList({"Dialing...", "Dialing successful"}) + connected);

    // The carrier goes, wan0 stays up: there is nothing to dial while it is being set up or
    // after it has gone dead, so a minute passes without a word.
    line.isp.Check("ip link set isp0 down");
    ASSERT_TRUE(line.WaitForCarrier(false));
    Tick();
    EXPECT_EQ(NewLines(), QStringList{"Now, we are disconnected"});
    for (int second = 0; second < 60; ++second)
        now += 1s, Tick();
    EXPECT_EQ(NewLines(), QStringList{});

    // The carrier is back at the next tick.
    line.isp.Check("ip link set isp0 up");
    ASSERT_TRUE(line.WaitForCarrier(true));
    now += 1s;
    Tick();
    EXPECT_EQ(NewLines(), connected);

    // Disconnect leaves a line that is being set up alone, and takes a dead one down.
    line.isp.Check("ip link set isp0 down");
    ASSERT_TRUE(line.WaitForCarrier(false));
    Tick();
    form->btDisconnect->click();
    now += platform::KernelLinks::CarrierWait;
    form->btDisconnect->click();
    EXPECT_EQ(NewLines(), QStringList({"Now, we are disconnected",
                                       "It seems, that we are already disconnected.",
                                       "Connection closed successfully."}));
    EXPECT_FALSE(line.IsUp());
}

} // namespace
