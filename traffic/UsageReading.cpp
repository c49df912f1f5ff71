#include "traffic/UsageReading.h"

#include "settings/RegVars.h"
#include "traffic/PackedDateTime.h"

std::uint64_t OverallReceived(const CRegVars& settings)
{
    return std::uint64_t{settings.SumRXHi.Get()} << 32 | settings.SumRXLo.Get();
}

std::uint64_t OverallTransmitted(const CRegVars& settings)
{
    return std::uint64_t{settings.SumTXHi.Get()} << 32 | settings.SumTXLo.Get();
}

UsageInput ReadUsageInput(CRegVars& settings, const QDate& today, bool withDays)
{
    UsageInput input{.periodStart = settings.LimitLastReset.Get(),
                     .resetDay = settings.LimitAutoReset.Get(),
                     .today = today,
                     .received = OverallReceived(settings),
                     .transmitted = OverallTransmitted(settings),
                     .limitMegabytes = settings.TrafficLimit.Get(),
                     .connection = settings.Connection.Get(),
                     .dayRows = {}};
    platform::UsageHistory* history = settings.Registry.History();
    if (withDays && history) {
        const QDate first = PackedToDateTime(input.periodStart).date();
        input.dayRows = history->days(first.isValid() ? first : today, today);
    }
    return input;
}

std::vector<platform::FinishedPeriod> ReadPeriods(CRegVars& settings)
{
    platform::UsageHistory* history = settings.Registry.History();
    return history ? history->periods() : std::vector<platform::FinishedPeriod>{};
}
