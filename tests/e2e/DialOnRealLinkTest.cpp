// The main window's hang-up, redial and their protocol on a real link, the kernel's wan0.
#include "app/MainWindowFixture.h"
#include "platform/links/kernel/KernelLinks.h"
#include "platform/links/kernel/NetNamespace.h"
#include "traffic/LinkProbe.h"

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
        GTEST_SKIP() << test::NamespaceRefusal();
    const test::Wan line;
    line.home.Enter();
    const auto probe = [&] { // as the watch cycle probes: connected, received, sent, duration
        std::uint64_t received = 0, transmitted = 0;
        std::uint32_t durationMs = 0;
        const bool connected = ReadStatistics(links, FindConnection(links, "wan0", true), received,
                                              transmitted, durationMs);
        return std::tuple(connected, received, transmitted, durationMs);
    };
    // The byte counters are the kernel's since the connection was first seen.
    line.SendOut(3, 100);
    EXPECT_EQ(probe(), std::tuple(true, 0u, 0u, 0u));
    const platform::RasHandle first = FindConnection(links, "wan0", true);
    line.SendOut(30, 1000);
    line.SendIn(20, 500);
    now += 1500ms;
    EXPECT_EQ(probe(), std::tuple(true, 20 * (500 + test::FrameOverhead),
                                  30 * (1000 + test::FrameOverhead), 1500u));
    settings->Connection.Set("wan0");
    settings->KeepConnected.Set(1);
    StartWindow(links);
    ASSERT_EQ(NewLines().back(), "We are currently connected");
    const QStringList connected{QString(51, '-'), "Now, we are connected",
                                "Quillmar will keep the connection."};

    // Without the right to bring the link up, every tick tries and logs that it failed, and the
    // first time which right is missing.
    {
        const test::WithoutNetAdmin withoutTheRight;
        links.HangUp(first, [](std::uint32_t result) { EXPECT_EQ(result, std::uint32_t{EPERM}); });
        line.home.Check("ip link set wan0 down");
        Tick(2);
        const QString refused = "Dialing...\nDialing error: 1";
        EXPECT_EQ(NewLines().join('\n'),
                  "Now, we are disconnected\n" + refused +
                      "\nConnect and Disconnect need CAP_NET_ADMIN: see \"Rights\" in the README, "
                      "or PERMISSIONS in quillmar(1).\n" +
                      refused);
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

    // The carrier is back at the next tick. The kernel kept counting across the drop; the
    // connection began since the last poll: its first bytes took that long, not no time at all.
    line.isp.Check("ip link set isp0 up");
    ASSERT_TRUE(line.WaitForCarrier(true));
    line.SendOut(5, 200);
    now += 1s;
    EXPECT_EQ(probe(), std::tuple(true, 0u, 5 * (200 + test::FrameOverhead), 1000u));
    Tick();
    EXPECT_EQ(NewLines(), connected);
    now += 700ms;
    EXPECT_EQ(std::get<3>(probe()), 1700u);
    // A link made anew between two polls (same name, new index) starts from zero.
    line.home.Check("ip link delete wan0");
    line.Connect();
    now += 300ms;
    EXPECT_EQ(std::get<3>(probe()), 300u);
    EXPECT_NE(FindConnection(links, "wan0", true), first);

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

    // Dialling a missing link fails. Hundreds of links span many dump datagrams; every link but
    // loopback is an entry.
    std::uint32_t error = 0;
    EXPECT_FALSE(links.DialDlg("nosuch0", error));
    EXPECT_EQ(error, std::uint32_t{ENODEV});
    line.home.Check("for i in $(seq 150); do echo link add v${i}a type veth peer v${i}b; done"
                    " | ip -batch -");
    std::vector<platform::RasEntryName> entries(301);
    std::size_t count = 0;
    EXPECT_EQ(std::pair(links.EnumEntries(entries, count), count), std::pair(0u, std::size_t{301}));
    EXPECT_EQ(links.EnumEntries(std::span(entries).first(300), count),
              platform::RasErrorBufferTooSmall);
}

} // namespace
