#include "app/MainWindowFixture.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

using ConnectDisconnect = test::MainWindowFixture;

TEST_F(ConnectDisconnect, DialsTheWatchedEntryAndReportsSuccess)
{
    StartWindow();
    form->Dial();
    EXPECT_EQ(ras.dialled, std::vector<std::string>{"dsl"});
    EXPECT_EQ(Protocol().mid(4), QStringList({"Dialing...", "Dialing successful"}));
    EXPECT_FALSE(form->IsConnected()); // the next tick notices the new connection
    Tick();
    EXPECT_TRUE(form->IsConnected());
}

TEST_F(ConnectDisconnect, RefusesWhenAConnectionOfTheEntryExistsInAnyState)
{
    ConnectLine().state = 0x10; // being dialled by another program
    StartWindow();
    form->Dial();
    EXPECT_TRUE(ras.dialled.empty());
    EXPECT_EQ(Protocol().back(), "It seems, that we are already connected.");
}

TEST_F(ConnectDisconnect, RefusesAtTheLimitOnlyWhenClosingAtTheLimit)
{
    settings->SumTXLo.Set(1'000'000'000);
    StartWindow();
    settings->OnLimitCloseConnection.Set(1);
    form->Dial();
    EXPECT_EQ(Protocol().back(), "Traffic limit has already been reached.");
    EXPECT_TRUE(ras.dialled.empty());
    settings->OnLimitCloseConnection.Set(0);
    form->Dial();
    EXPECT_EQ(ras.dialled.size(), 1u);
}

TEST_F(ConnectDisconnect, AFailedOrCancelledDialLogsItsCode)
{
    StartWindow();
    std::uint32_t code = 691;
    ras.dial = [&](const char*, std::uint32_t& error) {
        error = code;
        return false;
    };
    form->Dial();
    EXPECT_EQ(Protocol().back(), "Dialing error: 691");
    code = 0; // cancelled by the user
    form->Dial();
    EXPECT_EQ(Protocol().back(), "Dialing error: 0");
}

TEST_F(ConnectDisconnect, ADialInsideARunningDialDoesNothing)
{
    StartWindow();
    ras.dial = [&](const char* entry, std::uint32_t&) {
        const auto before = Protocol().size();
        form->Dial(); // the redial of a nested tick, or a click on Connect
        form->btConnect->click();
        EXPECT_EQ(Protocol().size(), before);
        ras.Add(entry, 9);
        return true;
    };
    form->Dial();
    EXPECT_EQ(ras.dialled.size(), 1u);
    EXPECT_EQ(Protocol().back(), "Dialing successful");
    DropLine();
    ras.dial = nullptr;
    form->Dial(); // the guard is released afterwards
    EXPECT_EQ(ras.dialled.size(), 2u);
}

TEST_F(ConnectDisconnect, HangUpClosesTheLineAndDisarmsRedial)
{
    settings->KeepConnected.Set(1);
    ConnectLine();
    StartWindow();
    ASSERT_TRUE(form->IsKeepingConnection());
    form->HangUp();
    EXPECT_EQ(ras.hungUp, std::vector<platform::RasHandle>{7});
    EXPECT_EQ(Protocol().back(), "Connection closed successfully.");
    EXPECT_FALSE(form->IsKeepingConnection());
}

TEST_F(ConnectDisconnect, HangUpWithoutAnEstablishedLineStillDisarmsRedial)
{
    settings->KeepConnected.Set(1);
    ConnectLine();
    StartWindow();
    ras.Find("dsl")->state = 0x10; // redialled, not yet up
    form->HangUp();
    EXPECT_TRUE(ras.hungUp.empty());
    EXPECT_EQ(Protocol().back(), "It seems, that we are already disconnected.");
    EXPECT_FALSE(form->IsKeepingConnection());
}

TEST_F(ConnectDisconnect, ARefusedHangUpLogsTheCode)
{
    ras.hangUpResult = 4294967295u;
    ConnectLine();
    StartWindow();
    form->HangUp();
    EXPECT_EQ(Protocol().back(), "Error during closing the connection (Code 4294967295)");
}

TEST_F(ConnectDisconnect, ButtonsAndBothMenusReachDialAndHangUp)
{
    StartWindow();
    form->btConnect->click();
    form->findChild<QAction*>("mimConnect")->trigger();
    form->findChild<QAction*>("miConnect")->trigger();
    EXPECT_EQ(ras.dialled.size(), 1u);
    EXPECT_EQ(Protocol().count("It seems, that we are already connected."), 2);
    form->btDisconnect->click();
    form->findChild<QAction*>("mimDisconnect")->trigger();
    form->findChild<QAction*>("miDisconnect")->trigger();
    EXPECT_EQ(ras.hungUp.size(), 1u);
    EXPECT_EQ(Protocol().count("It seems, that we are already disconnected."), 2);
}
