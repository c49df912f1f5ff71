#include "app/UsageHistoryWindow.h"

#include "app/Fmain.h"
#include "app/UsageCharts.h"
#include "graph/BarChart.h"
#include "platform/desktop/Clock.h"
#include "settings/RegVars.h"
#include "traffic/UsageReading.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QLabel* AddLine(QLayout* layout, const char* name)
{
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(label);
    return label;
}

graph::BarChart* AddChart(QLayout* layout, const char* name, const QString& title)
{
    auto* box = new QGroupBox(title);
    auto* chart = new graph::BarChart(box);
    chart->setObjectName(name);
    chart->setAccessibleName(title);
    (new QVBoxLayout(box))->addWidget(chart);
    layout->addWidget(box);
    return chart;
}

QString PeriodText(const UsageSummary& summary)
{
    const QString start =
        DayText(summary.start.date()) + ' ' + summary.start.time().toString("hh:mm");
    return summary.end ? QString("Period: %1 to %2").arg(start, DayText(*summary.end))
                       : QString("Period: since %1, no automatic reset").arg(start);
}

} // namespace

UsageHistoryWindow::UsageHistoryWindow(TFormMain& form, CRegVars& settings,
                                       const platform::Clock& clock)
    : QDialog(&form), settings_(settings), clock_(clock)
{
    setObjectName("UsageHistoryWindow");
    setWindowTitle("Usage History");
    auto* layout = new QVBoxLayout(this);
    auto* summary = new QGroupBox("Summary");
    auto* lines = new QVBoxLayout(summary);
    stPeriod = AddLine(lines, "stPeriod");
    stUsage = AddLine(lines, "stUsage");
    stBudget = AddLine(lines, "stBudget");
    stProjection = AddLine(lines, "stProjection");
    stPace = AddLine(lines, "stPace");
    layout->addWidget(summary);
    chDays = AddChart(layout, "chDays", "Days of this period");
    chPeriods = AddChart(layout, "chPeriods", "Past periods");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    resize(560, 600);
    connect(&form, &TFormMain::UsageCounted, this, &UsageHistoryWindow::Refresh);
}

void UsageHistoryWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Refresh();
}

void UsageHistoryWindow::Refresh()
{
    if (!isVisible())
        return;
    const UsageSummary summary =
        SummarizeUsage(ReadUsageInput(settings_, clock_.Now().date(), true));
    stPeriod->setText(PeriodText(summary));
    stUsage->setText(StatusLineText(summary));
    stBudget->setText(BudgetText(summary));
    stBudget->setVisible(!stBudget->text().isEmpty());
    stProjection->setText(ProjectionText(summary));
    stPace->setText(PaceMethodText(summary));
    chDays->SetBars(DayBars(summary.days), EvenShareLine(summary));
    chPeriods->SetBars(PeriodBars(ReadPeriods(settings_)), LimitLine(summary));
}
