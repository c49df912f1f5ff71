#include "app/MainWindowFixture.h"
#include "settings/StoreRows.h"

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
}

TEST_F(Counters, TheLimitIsReachedAtExactlyTheLimitInBytes)
{
    settings->TrafficLimit.Set(1);
    settings->SumRXLo.Set(999'999);
    StartWindow();
    EXPECT_EQ(form->LimitPercent(), 99);
    EXPECT_FALSE(form->LimitReached());
    settings->SumTXLo.Set(1);
    EXPECT_EQ(form->LimitPercent(), 100);
    EXPECT_TRUE(form->LimitReached());
    EXPECT_FALSE(form->LimitCloseDue());
    settings->OnLimitCloseConnection.Set(1);
    EXPECT_TRUE(form->LimitCloseDue());
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
