#include "app/MainWindowFixture.h"
#include "graph/HistoryDisplay.h"
#include "graph/HistoryImage.h"

#include <QGroupBox>

using GraphSampling = test::MainWindowFixture;

namespace {

std::int32_t NewestRX(const TFormMain& form)
{
    return form.historyDisplay->HistoryRX().Recent(1);
}

} // namespace

TEST_F(GraphSampling, TheGraphSitsInItsGroupWithTheUnitInTheCaption)
{
    settings->HistoryScaling.Set(1);
    StartWindow();
    EXPECT_EQ(form->gbHistory->title(), "Traffic Graph [kByte/s]");
    EXPECT_EQ(form->imgHistory->parentWidget(), form->gbHistory);
    EXPECT_EQ(form->imgHistory->geometry(), QRect(8, 16, 199, 111));
    settings->HistoryScaling.Set(5);
    form->UpdateGraphScale();
    EXPECT_EQ(form->gbHistory->title(), "Traffic Graph [MByte/s]");
}

TEST_F(GraphSampling, EverySecondTickByDefaultWithTheRateOverTheLinesOwnTime)
{
    ConnectLine();
    StartWindow();
    SetLineCounters(1000, 250, 1000);
    Tick();
    EXPECT_EQ(form->historyDisplay->HistoryRX().Count(), 0);
    SetLineCounters(3000, 500, 3000); // 3000 bytes in 3000 ms: 8 kBit/s
    Tick();
    EXPECT_EQ(form->historyDisplay->HistoryRX().Count(), 1);
    EXPECT_EQ(NewestRX(*form), 8);
    EXPECT_EQ(form->historyDisplay->HistoryTX().Recent(1), 1); // 500 * 8 / 3000, truncated
    SetLineCounters(5000, 500, 4000);
    Tick();
    SetLineCounters(7000, 500, 5000); // the next sample counts only its own 4000 bytes in 2000 ms
    Tick();
    EXPECT_EQ(NewestRX(*form), 16);
}

TEST_F(GraphSampling, EveryTickAtSpeedOneAndAtOnceWhenTheSpeedDropsBelowTheCount)
{
    settings->HistoryUpdateSpeed.Set(1);
    ConnectLine();
    StartWindow();
    SetLineCounters(125'000, 0, 1000); // one megabit in a second
    Tick();
    EXPECT_EQ(NewestRX(*form), 1000);
    settings->HistoryUpdateSpeed.Set(10);
    Tick(3);
    EXPECT_EQ(form->historyDisplay->HistoryRX().Count(), 1);
    settings->HistoryUpdateSpeed.Set(2);
    Tick();
    EXPECT_EQ(form->historyDisplay->HistoryRX().Count(), 2);
}

TEST_F(GraphSampling, ALineThatIsDownGivesZeroSamples)
{
    settings->HistoryUpdateSpeed.Set(1);
    ConnectLine(0, 0, 0);
    StartWindow();
    SetLineCounters(5000, 5000, 1000);
    DropLine(); // lost before the tick: nothing of it reaches the graph
    Tick();
    EXPECT_EQ(NewestRX(*form), 0);
    EXPECT_EQ(form->historyDisplay->HistoryRX().Count(), 1);
    ConnectLine(500, 0, 0); // a duration of 0 counts as one millisecond
    Tick();
    EXPECT_EQ(NewestRX(*form), 4000);
}
