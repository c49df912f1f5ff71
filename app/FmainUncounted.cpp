// Bytes the watched link carried while the program was not running: the checkpoint each count
// keeps beside the sums, and what the link's counters gained beyond it, counted at start.
#include "app/Fmain.h"
#include "platform/desktop/Clock.h"
#include "platform/store/UsageHistory.h"
#include "settings/RegVars.h"
#include "traffic/LinkCheckpoint.h"

namespace {

// The watched connection's link from the snapshot its statistics came from, its counters in
// `link`; not provable when the service cannot tell.
LinkIdentity Identify(platform::RasApi& ras, platform::RasHandle connection,
                      const std::string& bootId, const char* entry, platform::RasLinkIdentity& link)
{
    if (ras.GetLinkIdentity(connection, link) != 0)
        return {};
    return {bootId,
            link.namespaceCookie,
            link.interfaceIndex,
            link.interfaceName,
            link.activeConnection,
            entry};
}

} // namespace

PeriodSums TFormMain::Sums() const
{
    return {{GetSumRX(), GetSumTX()}, settings_.LimitLastReset.Get()};
}

std::uint64_t TFormMain::CountUncountedTraffic()
{
    platform::RasLinkIdentity link{};
    const LinkIdentity now = Identify(ras_, WatchedLink, BootId, settings_.Connection.Get(), link);
    const std::optional<LinkCheckpoint> stored = DecodeCheckpoint(settings_.LinkCheckpoint.Get());
    CountedOn = clock_.Now().date(); // what crosses from now on
    if (!stored)
        return 0;
    const std::optional<ByteCounts> gap =
        UncountedSince(*stored, Sums(), now, {link.bytesReceived, link.bytesTransmitted});
    const QDate day = QDate::fromJulianDay(stored->day);
    if (!gap || !day.isValid() || gap->received + gap->transmitted == 0)
        return 0;
    // The first tick's hints start from where the share stood before.
    PercentBeforeGap = LimitPercent();
    // One commit: with the sums raised, the checkpoint stands for the counters as they are now,
    // so that a kill after it cannot have the next start count the same bytes again.
    const CRegistry::Transaction oneStep(settings_.Registry);
    if (gap->received != 0)
        SetSumRX(GetSumRX() + gap->received);
    if (gap->transmitted != 0)
        SetSumTX(GetSumTX() + gap->transmitted);
    settings_.Registry.WriteHistory([&](platform::UsageHistory& history) {
        return history.addToDay(settings_.Connection.Get(), day, gap->received, gap->transmitted);
    });
    KeepLinkCheckpoint();
    return gap->received + gap->transmitted;
}

void TFormMain::KeepLinkCheckpoint()
{
    platform::RasLinkIdentity link{};
    const LinkIdentity now = Identify(ras_, WatchedLink, BootId, settings_.Connection.Get(), link);
    // An unknown link still replaces the stored one: the sums no longer match its counters.
    CheckpointBytes.clear();
    if (Provable(now)) {
        if (!CountedOn.isValid())
            CountedOn = clock_.Now().date();
        EncodeCheckpoint(CheckpointOf(now, {link.bytesReceived, link.bytesTransmitted}, Sums(),
                                      CountedOn.toJulianDay()),
                         CheckpointBytes);
    }
    settings_.LinkCheckpoint.SetIfChanged(CheckpointBytes);
}
