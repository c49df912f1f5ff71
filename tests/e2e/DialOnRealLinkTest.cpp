// The main window's hang-up, redial and their protocol on a real link, the kernel's wan0.
#include "app/MainWindowFixture.h"
#include "platform/KernelLinks.h"
#include "platform/NetNamespace.h"
#include "platform/ThreadCapabilities.h"

#include <QPushButton>
#include <linux/if.h>
#include <optional>

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
        test::ConnectVeth(*home, "wan0", *isp, "isp0");
        ASSERT_TRUE(test::WaitForOperState(*home, "wan0", true));
        home->EnterThisThread();
        settings->Connection.Set("wan0");
    }

    // The window goes before the link service it holds.
    void TearDown() override { form.reset(); }

    bool WanIsUp() const { return test::SysfsValue(*home, "wan0/flags") & IFF_UP; }

    // Protocol lines added since the last call.
    QStringList NewLines()
    {
        const QStringList all = Protocol();
        const QStringList added = all.mid(seen);
        seen = all.size();
        return added;
    }

    std::optional<test::NetNamespace> home;
    std::optional<test::NetNamespace> isp;
    platform::KernelLinks links;
    qsizetype seen = 0;
};

TEST_F(EndToEndDial, HangUpTakesTheLinkDownAndAKeptConnectionIsRedialledAfterADrop)
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
