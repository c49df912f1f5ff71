#include "platform/KernelLinks.h"

#include <algorithm>
#include <cstring>
#include <linux/if.h>

namespace platform {

// PPP devices never report their operational state, so "unknown" counts as up.
bool IsConnected(const LinkRecord& link)
{
    const bool carrier = (link.flags & IFF_UP) && (link.flags & IFF_RUNNING);
    return carrier && (link.operState == IF_OPER_UP || link.operState == IF_OPER_UNKNOWN);
}

namespace {

void CopyName(char (&target)[RasMaxEntryName + 1], const char (&name)[IFNAMSIZ])
{
    static_assert(IFNAMSIZ <= RasMaxEntryName + 1);
    std::memcpy(target, name, IFNAMSIZ);
}

} // namespace

bool KernelLinks::UpWithoutCarrier(const LinkState& state)
{
    return !state.connected && (state.link.flags & IFF_UP);
}

KernelLinks::KernelLinks(MonotonicNow now) : now_(std::move(now)) {}

std::uint32_t KernelLinks::EnumConnections(std::span<RasConnection> buffer, std::size_t& count)
{
    count = 0;
    if (const int error = netlink_.DumpLinks(dump_)) {
        // Links not seen count as dropped, as they do for the caller.
        snapshot_.clear();
        previousComplete_ = false;
        return static_cast<std::uint32_t>(error);
    }
    TakeSnapshot(dump_);
    for (const LinkState& state : snapshot_) {
        if (!(state.link.flags & IFF_UP))
            continue;
        if (count == buffer.size()) {
            count = 0;
            return RasErrorBufferTooSmall;
        }
        buffer[count].handle = state.link.index;
        CopyName(buffer[count].entryName, state.link.name);
        ++count;
    }
    return 0;
}

// Carries each link's connect time and counter base over from the previous snapshot while it
// stays connected under the same index; a link that drops or is recreated starts again. So does
// the time a link has been up without a carrier.
//
// Kernel counters live as long as the interface, not the connection: a link brought down and up
// keeps counting. So a connection's counters start from the link's counters when it was last
// seen not connected (nothing flows then), from 0 for a link created since the last complete
// snapshot (it counts from its creation, as a dial-up device does), and otherwise from the
// moment it is first seen, so that no earlier traffic is ever counted as new. Its connect time
// starts with its counters: a connection that began since the previous snapshot counts from
// that one, so that its first bytes are not taken to have flowed in no time at all.
void KernelLinks::TakeSnapshot(std::vector<LinkRecord>& links)
{
    std::sort(links.begin(), links.end(),
              [](const LinkRecord& a, const LinkRecord& b) { return a.index < b.index; });
    std::swap(previous_, snapshot_);
    snapshot_.clear();
    const auto previousTime = snapshotTime_;
    snapshotTime_ = now_();
    auto earlier = previous_.cbegin();
    for (const LinkRecord& link : links) {
        while (earlier != previous_.cend() && earlier->link.index < link.index)
            ++earlier;
        const LinkState* before =
            earlier != previous_.cend() && earlier->link.index == link.index ? &*earlier : nullptr;
        LinkState state{link, IsConnected(link), snapshotTime_, link.bytesReceived,
                        link.bytesTransmitted};
        if (state.connected && before && before->connected) {
            state.since = before->since;
            state.baseReceived = before->baseReceived;
            state.baseTransmitted = before->baseTransmitted;
        } else if (state.connected && (before || previousComplete_)) {
            state.since = previousTime;
            state.baseReceived = before ? before->link.bytesReceived : 0;
            state.baseTransmitted = before ? before->link.bytesTransmitted : 0;
        } else if (UpWithoutCarrier(state) && before && UpWithoutCarrier(*before)) {
            state.since = before->since;
        }
        snapshot_.push_back(state);
    }
    previousComplete_ = true;
}

const KernelLinks::LinkState* KernelLinks::Find(RasHandle connection) const
{
    const auto it = std::lower_bound(
        snapshot_.begin(), snapshot_.end(), connection,
        [](const LinkState& state, RasHandle index) { return state.link.index < index; });
    return it != snapshot_.end() && it->link.index == connection ? &*it : nullptr;
}

std::uint32_t KernelLinks::GetConnectStatus(RasHandle connection, std::uint32_t& state)
{
    const LinkState* link = Find(connection);
    if (!link)
        return RasErrorInvalidHandle;
    if (link->connected)
        state = RasConnectedState;
    else if (UpWithoutCarrier(*link) && snapshotTime_ - link->since < CarrierWait)
        state = RasConnectingState;
    else
        state = RasDisconnectedState; // down, or a dead line that is still up
    return 0;
}

std::uint32_t KernelLinks::GetConnectionStatistics(RasHandle connection, RasStats& stats)
{
    const LinkState* link = Find(connection);
    if (!link)
        return RasErrorInvalidHandle;
    if (!link->link.hasCounters)
        return ENODATA;
    // For a link without a carrier `since` tells when it lost it: it has no connect time.
    const auto connectedFor =
        link->connected
            ? std::chrono::duration_cast<std::chrono::milliseconds>(snapshotTime_ - link->since)
            : std::chrono::milliseconds{0};
    // The program expects 32-bit counters that wrap.
    stats.bytesReceived = static_cast<std::uint32_t>(link->link.bytesReceived - link->baseReceived);
    stats.bytesTransmitted =
        static_cast<std::uint32_t>(link->link.bytesTransmitted - link->baseTransmitted);
    stats.connectDurationMs = static_cast<std::uint32_t>(connectedFor.count());
    return 0;
}

std::uint32_t KernelLinks::HangUp(RasHandle connection)
{
    return static_cast<std::uint32_t>(netlink_.SetLinkUp(connection, false));
}

bool KernelLinks::DialDlg(const char* entry, std::uint32_t& error)
{
    error = static_cast<std::uint32_t>(netlink_.SetLinkUp(entry, true));
    return error == 0;
}

std::uint32_t KernelLinks::EnumEntries(std::span<RasEntryName> buffer, std::size_t& count)
{
    count = 0;
    if (const int error = netlink_.DumpLinks(dump_))
        return static_cast<std::uint32_t>(error);
    for (const LinkRecord& link : dump_) {
        if (std::strcmp(link.name, "lo") == 0)
            continue;
        if (count == buffer.size()) {
            count = 0;
            return RasErrorBufferTooSmall;
        }
        CopyName(buffer[count].name, link.name);
        ++count;
    }
    return 0;
}

} // namespace platform
