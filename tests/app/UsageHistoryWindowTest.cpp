// The Usage History window: one of it, from both menus, its summary and charts read from the
// store, following the counters while it is open.
#include "app/UsageHistoryWindow.h"

#include "app/MainWindowFixture.h"
#include "app/UsageCharts.h"
#include "graph/BarChart.h"
#include "traffic/PackedDateTime.h"

#include <QAction>
#include <QMenu>

namespace {

using UsageHistoryView = test::MainWindowFixture;
constexpr std::uint64_t MB = 1000000;

// November 2026 on a limit of 1000 MB that resets on the 1st, seen on the evening of the 30th:
// 25 MB received on each day before, 10 MB so far today, and a day of another connection that the
// watched one's period does not count; three periods ended before. Open, the window shows each
// tick's bytes and a reset's new period at once; closed, it reads nothing and is brought up to date
// when it opens again. Without a reset day the period has neither a budget nor an even share.
TEST_F(UsageHistoryView, AMonthAndThreePeriodsFollowedWhileOpen)
{
    const auto Packed = [](int month, int day, int second = 0) {
        return DateTimeToPacked(QDateTime(QDate(2026, month, day), QTime(0, 0, second)));
    };
    const auto Figures = [](QWidget* chart) { return chart->accessibleDescription().split('\n'); };
    clock.now = QDateTime(QDate(2026, 11, 30), QTime(18, 0));
    settings->TrafficLimit.Set(1000);
    settings->LimitAutoReset.Set(1);
    settings->LimitLastReset.Set(Packed(11, 1, 30));
    platform::UsageHistory& history = *settings->Registry.History();
    for (int day = 1; day <= 30; ++day)
        history.addToDay("dsl", QDate(2026, 11, day), (day < 30 ? 25 : 10) * MB, 0);
    history.addToDay("wlan", QDate(2026, 11, 15), 999 * MB, 0);
    for (const auto& [month, received] : {std::pair(8, 900), {9, 400}, {10, 700}})
        history.addPeriod({0, "dsl", Packed(month, 1), Packed(month + 1, 1, month == 10 ? 30 : 0),
                           received * MB, received / 6 * MB});
    StartWindow();
    form->SetSumRX(735 * MB);

    form->findChild<QAction*>("mimUsageHistory")->trigger();
    auto* window = form->findChild<UsageHistoryWindow*>();
    ASSERT_TRUE(window && window->isVisible());
    window->close();
    form->pmTray->findChild<QAction*>("miUsageHistory")->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(
        QStringList({window->windowTitle(), window->stPeriod->text(), window->stUsage->text(),
                     window->stBudget->text(), window->stProjection->text(), window->stPace->text(),
                     window->chDays->accessibleName(), window->chPeriods->accessibleName()}),
        QStringList(
            {"Usage History", "Period: 01.11.2026 00:00 to 01.12.2026",
             "73 % of 1000 MB used · 265 MB left · period ends 01.12.2026",
             "265 MB a day left until 01.12.2026", "At 25 MB a day the period ends at about 750 MB",
             "Pace: average of the 7 days before today", "Days of this period", "Past periods"}));
    const QStringList days = Figures(window->chDays), periods = Figures(window->chPeriods);
    EXPECT_EQ((days.mid(29) + periods.mid(2)).join(" | "), // 30 days, 3 periods, each with a line
              "30.11.2026: received 10.000.000 Bytes, transmitted 0 Bytes | Even share of the "
              "limit: 33.333.333 Bytes | 01.10.2026 to 01.11.2026: received 700.000.000 Bytes, "
              "transmitted 116.000.000 Bytes | Limit: 1.000.000.000 Bytes");
    EXPECT_EQ(DayBars({{"dsl", QDate(2026, 11, 15), 0, 0}})[0].label + " " +
                  PeriodBars({{.connection = "", .start = Packed(10, 1), .end = 0}})[0].label,
              "15 01.10.2026");

    ConnectLine(15 * MB, 5 * MB);
    Tick();
    EXPECT_EQ(window->stUsage->text() + " | " + Figures(window->chDays)[29],
              "75 % of 1000 MB used · 245 MB left · period ends 01.12.2026 | 30.11.2026: received "
              "25.000.000 Bytes, transmitted 5.000.000 Bytes");
    window->close();
    ConnectLine(115 * MB, 5 * MB);
    Tick();
    const QString whileClosed = window->stUsage->text();
    form->miUsageHistoryClick();
    EXPECT_EQ(whileClosed + " | " + window->stUsage->text(),
              "75 % of 1000 MB used · 245 MB left · period ends 01.12.2026 | 85 % of 1000 MB used "
              "· 145 MB left · period ends 01.12.2026");

    settings->LimitAutoReset.Set(0);
    form->ResetTrafficCounter(DateTimeToPacked(clock.now));
    EXPECT_EQ(QString("%1 | %2 | %3 %4 | %5")
                  .arg(window->stPeriod->text(), window->stUsage->text())
                  .arg(window->stBudget->isHidden())
                  .arg(Figures(window->chDays).size())
                  .arg(Figures(window->chPeriods)[3]),
              "Period: since 30.11.2026 18:00, no automatic reset | 0 % of 1000 MB used · 1000 MB "
              "left | 1 1 | 01.11.2026 to 30.11.2026: received 850.000.000 Bytes, transmitted "
              "5.000.000 Bytes");
}

} // namespace
