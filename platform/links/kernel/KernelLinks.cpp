#include "platform/links/kernel/KernelLinks.h"

#include <algorithm>
#include <cerrno>
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

KernelLinks::KernelLinks(MonotonicNow now) : now_(std::move(now)) {}

std::uint32_t KernelLinks::EnumConnections(std::span<RasConnection> buffer, std::size_t& count)
{
    count = 0;
    if (const int error = netlink_.DumpLinks(dump_)) {
        // Links not seen count as dropped, as they do for the caller.
        sessions_.Lose();
        return static_cast<std::uint32_t>(error);
    }
    std::sort(dump_.begin(), dump_.end(),
              [](const LinkRecord& a, const LinkRecord& b) { return a.index < b.index; });
    sightings_.clear();
    for (const LinkRecord& link : dump_) {
        const bool connected = IsConnected(link);
        sightings_.push_back(
            {link, connected, !connected && (link.flags & IFF_UP) ? UpWithoutCarrier : Other});
    }
    sessions_.Take(sightings_, now_(), true);
    for (const LinkSessions::Session& session : sessions_.Sessions()) {
        if (!(session.link.flags & IFF_UP))
            continue;
        if (count == buffer.size()) {
            count = 0;
            return RasErrorBufferTooSmall;
        }
        buffer[count].handle = session.link.index;
        CopyName(buffer[count].entryName, session.link.name);
        ++count;
    }
    return 0;
}

std::uint32_t KernelLinks::GetConnectStatus(RasHandle connection, std::uint32_t& state)
{
    const LinkSessions::Session* link = sessions_.Find(connection);
    if (!link)
        return RasErrorInvalidHandle;
    if (link->connected)
        state = RasConnectedState;
    else if (link->phase == UpWithoutCarrier && sessions_.Time() - link->since < CarrierWait)
        state = RasConnectingState;
    else
        state = RasDisconnectedState; // down, or a dead line that is still up
    return 0;
}

const LinkSessions::Session* KernelLinks::Counted(RasHandle connection, std::uint32_t& error) const
{
    const LinkSessions::Session* link = sessions_.Find(connection);
    error = !link ? RasErrorInvalidHandle : link->link.hasCounters ? 0 : ENODATA;
    return error == 0 ? link : nullptr;
}

std::uint32_t KernelLinks::GetConnectionStatistics(RasHandle connection, RasStats& stats)
{
    std::uint32_t error = 0;
    if (const LinkSessions::Session* link = Counted(connection, error))
        stats = sessions_.Statistics(*link);
    return error;
}

std::uint32_t KernelLinks::GetLinkIdentity(RasHandle connection, RasLinkIdentity& identity)
{
    std::uint32_t error = 0;
    if (const LinkSessions::Session* link = Counted(connection, error))
        identity = netlink_.Identify(link->link);
    return error;
}

void KernelLinks::HangUp(RasHandle connection, HangUpAnswer answered)
{
    answered(static_cast<std::uint32_t>(netlink_.SetLinkUp(connection, false)));
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

// The kernel changes a link's state only for a holder of this capability.
const char* KernelLinks::MissingRight(std::uint32_t error) const
{
    return error == EPERM ? "CAP_NET_ADMIN" : nullptr;
}

} // namespace platform
