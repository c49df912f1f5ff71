#include "traffic/PeriodRecords.h"

#include "platform/store/AppendOnce.h"
#include "settings/RegVars.h"
#include "traffic/LinkCheckpoint.h"
#include "traffic/TrafficLog.h"
#include "traffic/UsageReading.h"

bool EndPeriod(CRegVars& settings, const platform::FinishedPeriod& period)
{
    CRegistry::Transaction oneStep(settings.Registry);
    const bool kept = settings.Registry.WriteHistory(
        [&](platform::UsageHistory& history) { return history.addPeriod(period); });
    // The link's counters go on where the sums start again from zero.
    const auto checkpoint = CheckpointAfterReset(
        settings.LinkCheckpoint.Get(),
        {{OverallReceived(settings), OverallTransmitted(settings)}, settings.LimitLastReset.Get()},
        period.end);
    if (!checkpoint.empty())
        settings.LinkCheckpoint.Set(checkpoint);
    for (CRegDWORD* half :
         {&settings.SumRXHi, &settings.SumRXLo, &settings.SumTXHi, &settings.SumTXLo})
        half->Set(0);
    settings.LimitLastReset.Set(period.end);
    return oneStep.End() && kept;
}

std::string WriteRecord(const platform::FinishedPeriod& period)
{
    return platform::appendOnce(
        TrafficLogName,
        TrafficLogRecord(period.start, period.end, period.received, period.transmitted));
}

std::string WritePendingRecords(CRegistry& registry)
{
    platform::UsageHistory* history = registry.History();
    for (const platform::FinishedPeriod& period :
         history ? history->periods(true) : std::vector<platform::FinishedPeriod>{}) {
        if (std::string reason = WriteRecord(period); !reason.empty())
            return reason;
        // Unmarked, the record is still the log's last, where the next try finds it; a later
        // record appended after it would hide it from that check.
        if (!history->markLogged(period.id))
            break;
    }
    return {};
}
