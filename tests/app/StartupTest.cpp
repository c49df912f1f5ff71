#include "app/MainWindowFixture.h"
#include "traffic/PackedDateTime.h"

using Startup = test::MainWindowFixture;

TEST_F(Startup, VeryFirstStartRecordsTheStartTimeAndSaysSo)
{
    clock.now = QDateTime(QDate(2026, 12, 6), QTime(20, 15, 31));
    ConnectLine(5000, 0, 0).state = 0x10; // still being dialled: disconnected
    StartWindow();
    EXPECT_EQ(Protocol(),
              QStringList({"Saved the very first start time", "Monitoring RAS connection \"dsl\".",
                           "Maximum traffic is 1000 MByte.", "We are currently disconnected"}));
    EXPECT_EQ(DateText(settings->LimitLastReset.Get()), "06.12.2026");
    EXPECT_EQ(TimeText(settings->LimitLastReset.Get()), "20:15:30");
}

TEST_F(Startup, LaterStartsWhileConnectedCountFromProgramStart)
{
    settings->LimitLastReset.Set(DateTimeToPacked(QDateTime(QDate(2026, 11, 1), QTime(8, 0))));
    settings->TrafficLimit.Set(250);
    settings->SumRXLo.Set(1234567);
    ConnectLine(90000, 4000, 60000);
    StartWindow();
    EXPECT_EQ(Protocol(),
              QStringList({"Monitoring RAS connection \"dsl\".", "Maximum traffic is 250 MByte.",
                           "We are currently connected"}));
    EXPECT_EQ(DateText(settings->LimitLastReset.Get()), "01.11.2026");
    EXPECT_TRUE(form->IsConnected());
    // Bytes before the start are not counted: the session starts at zero.
    EXPECT_EQ(form->stSessionRX->text(), "0");
    EXPECT_EQ(form->stSessionSum->text(), "0");
    EXPECT_EQ(form->stSumRX->text(), "1.234.567");
    EXPECT_EQ(form->stSum->text(), "1.234.567");
    SetLineCounters(91000, 4500, 61000);
    Tick();
    EXPECT_EQ(form->stSessionRX->text(), "1.000");
    EXPECT_EQ(form->stSessionTX->text(), "500");
    EXPECT_EQ(form->stSumRX->text(), "1.235.567");
}

TEST_F(Startup, ConnectedAtStartArmsRedialFromTheSettingSilently)
{
    settings->KeepConnected.Set(1);
    ConnectLine();
    StartWindow();
    EXPECT_TRUE(form->IsKeepingConnection());
    EXPECT_FALSE(Protocol().contains("Quillmar will keep the connection."));
    Tick();
    EXPECT_FALSE(Protocol().contains("Quillmar will keep the connection."));
}

TEST_F(Startup, AutoConnectDialsOnlyWhenTheLineIsDown)
{
    StartWindow();
    EXPECT_TRUE(ras.dialled.empty());
    form.reset();
    settings->AutoConnect.Set(1);
    StartWindow();
    EXPECT_EQ(ras.dialled, std::vector<std::string>{"dsl"});
    EXPECT_EQ(Protocol().mid(3), QStringList({"Dialing...", "Dialing successful"}));
    EXPECT_FALSE(form->IsKeepingConnection());
    form.reset();
    StartWindow(); // the line is up now
    EXPECT_EQ(ras.dialled.size(), 1u);
}
