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
}

// The limit counts both directions.
TEST_F(ConnectDisconnect, RefusalsAndFailuresAreLogged)
{
    settings->SumRXLo.Set(999'999'999);
    settings->SumTXLo.Set(1);
    settings->OnLimitCloseConnection.Set(1);
    StartWindow();
    form->Dial();
    EXPECT_EQ(Protocol().back(), "Traffic limit has already been reached.");
    EXPECT_TRUE(ras.dialled.empty());
    settings->OnLimitCloseConnection.Set(0); // the limit alone does not refuse
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
    ConnectLine().state = 0x10; // being dialled by another program
    form->Dial();
    EXPECT_EQ(Protocol().back(), "It seems, that we are already connected.");
    EXPECT_EQ(ras.dialled.size(), 2u);
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

TEST_F(ConnectDisconnect, HangUpLogsItsOutcomeAndDisarmsRedialEvenWithoutAnEstablishedLine)
{
    settings->KeepConnected.Set(1);
    ConnectLine();
    StartWindow();
    ASSERT_TRUE(form->IsKeepingConnection());
    ras.Find("dsl")->state = 0x10; // redialled, not yet up
    form->HangUp();
    EXPECT_TRUE(ras.hungUp.empty());
    EXPECT_EQ(Protocol().back(), "It seems, that we are already disconnected.");
    EXPECT_FALSE(form->IsKeepingConnection());

    ras.Find("dsl")->state = platform::RasConnectedState;
    ras.hangUpResult = 4294967295u;
    form->HangUp();
    EXPECT_EQ(Protocol().back(), "Error during closing the connection (Code 4294967295)");
    ras.hangUpResult = 0;
    form->HangUp();
    EXPECT_EQ(Protocol().back(), "Connection closed successfully.");
    EXPECT_EQ(ras.hungUp, (std::vector<platform::RasHandle>{7, 7}));
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
