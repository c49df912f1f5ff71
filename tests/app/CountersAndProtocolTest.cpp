#include "app/MainWindowFixture.h"
#include "settings/StoreRows.h"

#include <QListWidget>

using Counters = test::MainWindowFixture;
using Names = std::vector<std::string>;

// Writes of the overall sums, counted: none while disconnected or when nothing moved.
TEST_F(Counters, OnlyADirectionThatMovedIsWrittenHighWordFirst)
{
    settings->SumRXLo.Set(5000);
    StartWindow();
    test::StartWriteLog(store.File());
    form->UpdateCounters(100, 200);
    EXPECT_EQ(form->stSessionRX->text(), "-");
    EXPECT_EQ(form->stSessionTX->text(), "-");
    EXPECT_EQ(form->stSessionSum->text(), "-");
    EXPECT_EQ(form->stSumRX->text(), "5.000");
    ConnectLine();
    Tick(); // connected, nothing moved
    EXPECT_EQ(test::TakeWriteLog(store.File()), Names{});
    EXPECT_EQ(form->stSessionRX->text(), "0");

    form->UpdateCounters(1500, 0);
    EXPECT_EQ(test::TakeWriteLog(store.File()), (Names{"SumRXHi", "SumRXLo"}));
    form->UpdateCounters(0, 20);
    EXPECT_EQ(test::TakeWriteLog(store.File()), (Names{"SumTXHi", "SumTXLo"}));
    form->UpdateCounters(1, 1);
    EXPECT_EQ(test::TakeWriteLog(store.File()),
              (Names{"SumRXHi", "SumRXLo", "SumTXHi", "SumTXLo"}));
    EXPECT_EQ(form->stSessionRX->text(), "1.501");
    EXPECT_EQ(form->stSessionTX->text(), "21");
    EXPECT_EQ(form->stSessionSum->text(), "1.522");
    EXPECT_EQ(form->stSum->text(), "6.522");
}

TEST_F(Counters, TheOverallSumCarriesIntoTheHighWord)
{
    settings->SumRXLo.Set(4294967000u);
    ConnectLine();
    StartWindow();
    form->UpdateCounters(296, 0);
    EXPECT_EQ(settings->SumRXHi.Get(), 1u);
    EXPECT_EQ(settings->SumRXLo.Get(), 0u);
    EXPECT_EQ(form->stSumRX->text(), "4.294.967.296");
    CRegVars reread(store.File());
    EXPECT_EQ(reread.SumRXHi.Get(), 1u);
    EXPECT_EQ(reread.SumRXLo.Get(), 0u);

    // The next carry with its low half refused, as a kill between the two writes would leave it:
    // neither half is stored, never a sum 4 GiB too large.
    form->UpdateCounters(4294967295u, 0);
    test::RefuseWritesOf(store.File(), "SumRXLo");
    form->UpdateCounters(1, 0);
    CRegVars afterRefusal(store.File());
    EXPECT_EQ(afterRefusal.SumRXHi.Get(), 1u);
    EXPECT_EQ(afterRefusal.SumRXLo.Get(), 4294967295u);
}

TEST_F(Counters, AZeroLimitFromTheStoreNeverBlocksTheWatchCycle)
{
    settings->TrafficLimit.Set(0);
    settings->OnLimitCloseConnection.Set(1);
    settings->SumRXHi.Set(7);
    ConnectLine(1000, 0, 1000);
    StartWindow();
    SetLineCounters(2000, 0, 2000);
    test::MessageBoxRecorder boxes;
    Tick(3);
    EXPECT_EQ(form->LimitPercent(), 0);
    EXPECT_FALSE(form->LimitCloseDue());
    EXPECT_TRUE(form->IsConnected());
    EXPECT_TRUE(boxes.boxes.isEmpty());
    EXPECT_TRUE(ras.hungUp.empty());
    EXPECT_TRUE(Protocol().contains("Maximum traffic is 0 MByte."));
}

using ProtocolLog = test::MainWindowFixture;

// The newest line is selected whatever was selected before.
TEST_F(ProtocolLog, KeepsAtMost5001LinesDroppingTheOldestAndSelectsTheNewest)
{
    StartWindow();
    form->lbLog->clear();
    for (int i = 1; i <= 5000; ++i)
        form->AddProtocolLine("line %d", i);
    ASSERT_EQ(form->lbLog->count(), 5000);
    form->AddProtocolLine("line %d", 5001);
    EXPECT_EQ(form->lbLog->count(), 5001);
    EXPECT_EQ(form->lbLog->item(0)->text(), "line 1");
    form->AddProtocolLine("line %d", 5002);
    form->lbLog->setCurrentRow(0);
    form->AddProtocolLine("line %d", 5003);
    EXPECT_EQ(form->lbLog->count(), 5001);
    EXPECT_EQ(form->lbLog->item(0)->text(), "line 3");
    EXPECT_EQ(form->lbLog->item(5000), form->lbLog->currentItem());
    EXPECT_EQ(form->lbLog->currentItem()->text(), "line 5003");
    EXPECT_TRUE(form->lbLog->currentItem()->isSelected());
}

TEST_F(ProtocolLog, FormatsLikePrintfAndShowsOutsideTextUnchanged)
{
    StartWindow();
    form->AddProtocolLine("Traffic has now reached %d%%.", 70);
    form->AddProtocolLine("Dialing error: %u", 4294967295u);
    const char* reply = "good 10.0.0.1 100% %s %n";
    form->AddProtocolLine("DynDNS Update: %s", reply);
    const std::string longText(10000, 'x');
    form->AddProtocolLine("%s", longText.c_str());
    const QStringList lines = Protocol();
    EXPECT_EQ(lines[lines.size() - 4], "Traffic has now reached 70%.");
    EXPECT_EQ(lines[lines.size() - 3], "Dialing error: 4294967295");
    EXPECT_EQ(lines[lines.size() - 2], "DynDNS Update: good 10.0.0.1 100% %s %n");
    EXPECT_EQ(lines.back().size(), 10000); // never cut
}
