#pragma once

#include <QDialog>

class CRegVars;
class QLabel;
class TFormMain;

namespace graph {
class BarChart;
} // namespace graph

namespace platform {
class Clock;
} // namespace platform

// Where the period stands and how it got there: the summary of used, left, budget and pace, a
// bar a day of this period and a bar a finished period. Not modal; it follows the counters while
// it is open and reads nothing while it is closed.
class UsageHistoryWindow : public QDialog {
    Q_OBJECT

public:
    UsageHistoryWindow(TFormMain& form, CRegVars& settings, const platform::Clock& clock);

    // Reads the settings and the history again, if the window is open.
    void Refresh();

    QLabel* stPeriod = nullptr;
    QLabel* stUsage = nullptr;
    QLabel* stBudget = nullptr;
    QLabel* stProjection = nullptr;
    QLabel* stPace = nullptr;
    graph::BarChart* chDays = nullptr;
    graph::BarChart* chPeriods = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    CRegVars& settings_;
    const platform::Clock& clock_;
};
