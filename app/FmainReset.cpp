// Ending an accounting period: its record in the traffic log, the overall sums back to zero, and
// the monthly reset of the watch cycle.
#include "app/Fmain.h"
#include "platform/Clock.h"
#include "settings/RegVars.h"
#include "traffic/AutoReset.h"
#include "traffic/PackedDateTime.h"
#include "traffic/TrafficLog.h"

#include <QGroupBox>
#include <QLabel>

void TFormMain::ResetTrafficCounter(std::uint32_t moment)
{
    AppendTrafficLog(TrafficLogRecord(settings_.LimitLastReset.Get(), moment,
                                      stSumRX->text().toStdString(), stSumTX->text().toStdString(),
                                      stSum->text().toStdString()));
    {
        // The four counter values together: a kill in between must not leave half a reset.
        const CRegistry::Transaction allFour(settings_.Registry);
        SetSumRX(0);
        SetSumTX(0);
    }
    stSumRX->setText("0");
    stSumTX->setText("0");
    stSum->setText("0");
    settings_.LimitLastReset.Set(moment);
    ShowTrafficSince();
    TrayIconUpdate();
    AddProtocolLine("The traffic counter has been reset.");
}

void TFormMain::ShowTrafficSince()
{
    gbTrafficOverall->setTitle(
        QString::fromStdString("Traffic since " + DateText(settings_.LimitLastReset.Get())));
}

void TFormMain::ResetTrafficCounterWhenDue()
{
    const QDateTime now = clock_.Now();
    if (AutoResetDue(settings_.LimitAutoReset.Get(), settings_.LimitLastReset.Get(),
                     now.date().month(), now.date().day()))
        ResetTrafficCounter(DateTimeToPacked(now));
}
