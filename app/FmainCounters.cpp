// Session and overall traffic counters, their labels, and the share of the traffic limit.
#include "app/CounterLabel.h"
#include "app/Fmain.h"
#include "app/StatusLine.h"
#include "platform/desktop/Clock.h"
#include "platform/store/UsageHistory.h"
#include "settings/RegVars.h"
#include "traffic/ByteFormat.h"
#include "traffic/LimitShare.h"
#include "traffic/LinkProbe.h"
#include "traffic/UsageReading.h"

namespace {

void ShowBytes(CounterLabel* label, std::uint64_t bytes)
{
    ByteText room;
    const std::string_view text = FormatBytes(static_cast<std::int64_t>(bytes), room);
    label->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

} // namespace

platform::RasHandle TFormMain::FindConnection(bool checkState)
{
    return ::FindConnection(ras_, settings_.Connection.Get(), checkState);
}

bool TFormMain::ReadStatistics(platform::RasHandle connection, std::uint64_t& received,
                               std::uint64_t& transmitted, std::uint32_t& durationMs)
{
    WatchedLink = connection;
    return ::ReadStatistics(ras_, connection, received, transmitted, durationMs);
}

std::uint64_t TFormMain::GetSumRX() const
{
    return OverallReceived(settings_);
}

std::uint64_t TFormMain::GetSumTX() const
{
    return OverallTransmitted(settings_);
}

// Both halves in one commit: a kill between them on the tick where the low half wraps would
// otherwise store a sum 4 GiB off. The high half changes only every 4 GiB and is written only then.
void TFormMain::SetSumRX(std::uint64_t sum)
{
    const CRegistry::Transaction bothHalves(settings_.Registry);
    settings_.SumRXHi.SetIfChanged(static_cast<std::uint32_t>(sum >> 32));
    settings_.SumRXLo.Set(static_cast<std::uint32_t>(sum));
}

void TFormMain::SetSumTX(std::uint64_t sum)
{
    const CRegistry::Transaction bothHalves(settings_.Registry);
    settings_.SumTXHi.SetIfChanged(static_cast<std::uint32_t>(sum >> 32));
    settings_.SumTXLo.Set(static_cast<std::uint32_t>(sum));
}

void TFormMain::UpdateCounters(std::uint64_t deltaRX, std::uint64_t deltaTX, const QDate& today)
{
    std::uint64_t sumRX = GetSumRX();
    std::uint64_t sumTX = GetSumTX();
    if (Connected) {
        SessionRX += deltaRX;
        SessionTX += deltaTX;
        ShowBytes(stSessionRX, SessionRX);
        ShowBytes(stSessionTX, SessionTX);
        ShowBytes(stSessionSum, SessionRX + SessionTX);
        // Only a direction that moved is written, so an idle line costs the store nothing, and
        // what a tick writes, the day's bytes with the sums, is one commit.
        const CRegistry::Transaction tick(settings_.Registry);
        if (deltaRX != 0) {
            sumRX += deltaRX;
            SetSumRX(sumRX);
        }
        if (deltaTX != 0) {
            sumTX += deltaTX;
            SetSumTX(sumTX);
        }
        if (deltaRX != 0 || deltaTX != 0) {
            CountedOn = today;
            settings_.Registry.WriteHistory([&](platform::UsageHistory& history) {
                return history.addToDay(settings_.Connection.Get(), CountedOn, deltaRX, deltaTX);
            });
        }
        KeepLinkCheckpoint();
    } else {
        stSessionRX->setText("-");
        stSessionTX->setText("-");
        stSessionSum->setText("-");
    }
    ShowBytes(stSumRX, sumRX);
    ShowBytes(stSumTX, sumTX);
    ShowBytes(stSum, sumRX + sumTX);
    ShowUsage(today);
}

void TFormMain::ShowUsage()
{
    ShowUsage(clock_.Now().date());
}

void TFormMain::ShowUsage(const QDate& today)
{
    UsageInput input = ReadUsageInput(settings_, today, false);
    if (input == UsageShown)
        return;
    UsageShown = std::move(input);
    stUsage->SetFullText(StatusLineText(SummarizeTotals(UsageShown)));
    emit UsageCounted();
}

std::int32_t TFormMain::LimitPercent() const
{
    return ::LimitPercent(GetSumRX() + GetSumTX(), settings_.TrafficLimit.Get());
}

bool TFormMain::LimitReached() const
{
    return LimitPercent() >= 100;
}

bool TFormMain::LimitCloseDue() const
{
    return LimitReached() && settings_.OnLimitCloseConnection.Get() != 0;
}
