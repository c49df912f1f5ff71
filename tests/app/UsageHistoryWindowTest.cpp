// The Usage History window: opened from both menus, one of it, its summary and charts read from
// the store, following the counters while it is open.
#include "app/UsageHistoryWindow.h"

#include "app/MainWindowFixture.h"
#include "app/UsageCharts.h"
#include "graph/BarChart.h"
#include "traffic/PackedDateTime.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

namespace {

constexpr std::uint64_t MB = 1000000;

// November 2026 on a limit of 1000 MB that resets on the 1st, seen on the evening of the 30th:
// 25 MB on each day before, 10 MB so far today, and a day of another connection that the watched
// one's period does not count. Three periods ended before.
class UsageHistoryWindowTest : public test::MainWindowFixture {
protected:
    UsageHistoryWindowTest()
    {
        clock.now = QDateTime(QDate(2026, 11, 30), QTime(18, 0));
        settings->TrafficLimit.Set(1000);
        settings->LimitAutoReset.Set(1);
        settings->LimitLastReset.Set(Packed(11, 1, 30));
        platform::UsageHistory& history = *settings->Registry.History();
        for (int day = 1; day < 30; ++day)
            history.addToDay("dsl", QDate(2026, 11, day), 20 * MB, 5 * MB);
        history.addToDay("dsl", QDate(2026, 11, 30), 10 * MB, 0);
        history.addToDay("wlan", QDate(2026, 11, 15), 999 * MB, 0);
        history.addPeriod({.connection = "dsl",
                           .start = Packed(8, 1),
                           .end = Packed(9, 1),
                           .received = 900 * MB,
                           .transmitted = 150 * MB});
        history.addPeriod({.connection = "dsl",
                           .start = Packed(9, 1),
                           .end = Packed(10, 1),
                           .received = 400 * MB,
                           .transmitted = 50 * MB});
        history.addPeriod({.connection = "dsl",
                           .start = Packed(10, 1),
                           .end = Packed(11, 1, 30),
                           .received = 700 * MB,
                           .transmitted = 100 * MB});
        ConnectLine(); // counting from the first tick on
        StartWindow();
        form->SetSumRX(590 * MB);
        form->SetSumTX(145 * MB);
    }
    static std::uint32_t Packed(int month, int day, int second = 0)
    {
        return DateTimeToPacked(QDateTime(QDate(2026, month, day), QTime(0, 0, second)));
    }
    UsageHistoryWindow* Window() const { return form->findChild<UsageHistoryWindow*>(); }
    QStringList Summary() const
    {
        const UsageHistoryWindow& window = *Window();
        return {window.stPeriod->text(), window.stUsage->text(), window.stBudget->text(),
                window.stProjection->text(), window.stPace->text()};
    }
    QStringList DayFigures() const { return Window()->chDays->accessibleDescription().split('\n'); }
};

TEST_F(UsageHistoryWindowTest, BothMenusOpenOneWindowWithTheSummaryAndBothCharts)
{
    form->show();
    form->findChild<QAction*>("mimUsageHistory")->trigger();
    ASSERT_TRUE(Window() && Window()->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(Window()->windowTitle(), "Usage History");
    Window()->close();
    form->pmTray->findChild<QAction*>("miUsageHistory")->trigger();
    EXPECT_TRUE(Window()->isVisible());
    EXPECT_EQ(form->findChildren<UsageHistoryWindow*>().size(), 1);

    EXPECT_EQ(Summary(), QStringList({"Period: 01.11.2026 00:00 to 01.12.2026",
                                      "73 % of 1000 MB used · 265 MB left · period ends 01.12.2026",
                                      "265 MB a day left until 01.12.2026",
                                      "At 25 MB a day the period ends at about 750 MB",
                                      "Pace: average of the 7 days before today"}));
    const QStringList days = DayFigures();
    ASSERT_EQ(days.size(), 31);
    EXPECT_EQ(days.front(), "01.11.2026: received 20.000.000 Bytes, transmitted 5.000.000 Bytes");
    EXPECT_EQ(days[14], "15.11.2026: received 20.000.000 Bytes, transmitted 5.000.000 Bytes");
    EXPECT_EQ(days[29], "30.11.2026: received 10.000.000 Bytes, transmitted 0 Bytes");
    EXPECT_EQ(days.back(), "Even share of the limit: 33.333.333 Bytes");
    EXPECT_EQ(
        Window()->chPeriods->accessibleDescription(),
        "01.08.2026 to 01.09.2026: received 900.000.000 Bytes, transmitted 150.000.000 Bytes\n"
        "01.09.2026 to 01.10.2026: received 400.000.000 Bytes, transmitted 50.000.000 Bytes\n"
        "01.10.2026 to 01.11.2026: received 700.000.000 Bytes, transmitted 100.000.000 Bytes\n"
        "Limit: 1.000.000.000 Bytes");
    EXPECT_EQ(Window()->chDays->accessibleName() + " | " + Window()->chPeriods->accessibleName(),
              "Days of this period | Past periods");
    const auto dayBars = DayBars({{"dsl", QDate(2026, 11, 30), 0, 0}});
    const auto periodBars =
        PeriodBars({{.connection = "dsl", .start = Packed(10, 1), .end = Packed(11, 1, 30)}});
    EXPECT_EQ(dayBars[0].label + " " + periodBars[0].label, "30 01.10.2026");
}

// Without a reset day the period has no end: no budget, no even share.
TEST_F(UsageHistoryWindowTest, APeriodWithoutEndHasNoBudgetNorEvenShare)
{
    settings->LimitAutoReset.Set(0);
    form->miUsageHistoryClick();
    EXPECT_EQ(Window()->stPeriod->text(), "Period: since 01.11.2026 00:00, no automatic reset");
    EXPECT_TRUE(Window()->stBudget->isHidden());
    EXPECT_EQ(DayFigures().size(), 30);
}

// Open, it shows each tick's bytes and a reset's new period at once; closed, it reads nothing
// and is brought up to date when it opens again.
TEST_F(UsageHistoryWindowTest, FollowsTicksAndResetsWhileOpen)
{
    form->miUsageHistoryClick();
    ConnectLine(15 * MB, 5 * MB);
    Tick();
    EXPECT_EQ(Window()->stUsage->text(),
              "75 % of 1000 MB used · 245 MB left · period ends 01.12.2026");
    EXPECT_EQ(DayFigures()[29],
              "30.11.2026: received 25.000.000 Bytes, transmitted 5.000.000 Bytes");

    Window()->close();
    ConnectLine(115 * MB, 5 * MB);
    Tick();
    EXPECT_EQ(Window()->stUsage->text(),
              "75 % of 1000 MB used · 245 MB left · period ends 01.12.2026");
    form->miUsageHistoryClick();
    EXPECT_EQ(Window()->stUsage->text(),
              "85 % of 1000 MB used · 145 MB left · period ends 01.12.2026");

    form->ResetTrafficCounter(DateTimeToPacked(clock.now));
    EXPECT_EQ(Summary().mid(0, 2),
              QStringList({"Period: 30.11.2026 18:00 to 01.12.2026",
                           "0 % of 1000 MB used · 1000 MB left · period ends 01.12.2026"}));
    EXPECT_EQ(
        Window()->chPeriods->accessibleDescription().split('\n')[3],
        "01.11.2026 to 30.11.2026: received 705.000.000 Bytes, transmitted 150.000.000 Bytes");
}

} // namespace
