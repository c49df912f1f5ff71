// Ending an accounting period: the overall sums back to zero, the period's record in the traffic
// log, and the monthly reset of the watch cycle.
#include "app/CounterLabel.h"
#include "app/Fmain.h"
#include "settings/RegVars.h"
#include "traffic/AutoReset.h"
#include "traffic/PackedDateTime.h"
#include "traffic/PeriodRecords.h"

#include <QGroupBox>
#include <utility>

void TFormMain::ResetTrafficCounter(std::uint32_t moment)
{
    const platform::FinishedPeriod period{.connection = settings_.Connection.Get(),
                                          .start = settings_.LimitLastReset.Get(),
                                          .end = moment,
                                          .received = GetSumRX(),
                                          .transmitted = GetSumTX()};
    const bool kept = EndPeriod(settings_, period);
    stSumRX->setText("0");
    stSumTX->setText("0");
    stSum->setText("0");
    ShowTrafficSince();
    UsageShown = {}; // a new period to show, even one that looks like the last
    ShowUsage();
    TrayIconUpdate();
    AddProtocolLine("The traffic counter has been reset.");
    WriteTrafficLog();
    if (!kept)
        ReportUnwrittenRecord(WriteRecord(period), false);
}

void TFormMain::WriteTrafficLog()
{
    ReportUnwrittenRecord(WritePendingRecords(settings_.Registry), true);
}

void TFormMain::ReportUnwrittenRecord(const std::string& reason, bool kept)
{
    // A kept record waits for the next try, which would repeat the same line each time.
    if (reason.empty() || (kept && std::exchange(UnwrittenRecordReported, true)))
        return;
    AddProtocolLine("Could not write the period's record to \"%s\" (%s); %s.", TrafficLogName,
                    reason.c_str(), kept ? "it is kept and written later" : "it is lost");
}

void TFormMain::ShowTrafficSince()
{
    gbTrafficOverall->setTitle(
        QString::fromStdString("Traffic since " + DateText(settings_.LimitLastReset.Get())));
}

void TFormMain::ResetTrafficCounterWhenDue(const QDateTime& now)
{
    if (AutoResetDue(settings_.LimitAutoReset.Get(), settings_.LimitLastReset.Get(),
                     now.date().month(), now.date().day()))
        ResetTrafficCounter(DateTimeToPacked(now));
}
