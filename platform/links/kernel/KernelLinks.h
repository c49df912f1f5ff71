#pragma once

#include "platform/links/RasApi.h"
#include "platform/links/kernel/LinkMessages.h"
#include "platform/links/kernel/LinkSessions.h"
#include "platform/links/kernel/RouteNetlink.h"

#include <chrono>
#include <functional>
#include <vector>

namespace platform {

// A link carries traffic when it is up and running, its operational state up, or unknown as PPP
// devices report it.
bool IsConnected(const LinkRecord& link);

// The remote-access service over the kernel's network links: an entry is an interface name, a
// connection handle is an interface index, and an active connection is a link that is
// administratively up. Such a link without a carrier is being set up for its first
// CarrierWait, and a dead line after that, until it gets its carrier back or is taken down.
// Each EnumConnections takes one snapshot of every link of the namespace the calling thread was in
// at the first call; status and statistics answer from that snapshot, so both byte counters belong
// to one instant. Error codes are errno values.
class KernelLinks final : public RasApi {
public:
    using MonotonicNow = std::function<std::chrono::steady_clock::time_point()>;

    // Long enough for a modem or a radio to come up; a cable that is out stays dead.
    static constexpr std::chrono::seconds CarrierWait{10};

    explicit KernelLinks(MonotonicNow now = std::chrono::steady_clock::now);

    std::uint32_t EnumConnections(std::span<RasConnection> buffer, std::size_t& count) override;
    std::uint32_t GetConnectStatus(RasHandle connection, std::uint32_t& state) override;
    std::uint32_t GetConnectionStatistics(RasHandle connection, RasStats& stats) override;
    std::uint32_t GetLinkIdentity(RasHandle connection, RasLinkIdentity& identity) override;
    void HangUp(RasHandle connection, HangUpAnswer answered) override;
    // Kernel links have no dial dialog: the link is set up and the call returns at once.
    bool DialDlg(const char* entry, std::uint32_t& error) override;
    std::uint32_t EnumEntries(std::span<RasEntryName> buffer, std::size_t& count) override;
    const char* MissingRight(std::uint32_t error) const override;

private:
    // A link up without a carrier is waited on for a while; any other state is what it is.
    enum Phase : std::uint64_t { Other, UpWithoutCarrier };

    // The connection's session when its link has counters; otherwise nullptr and why in `error`.
    const LinkSessions::Session* Counted(RasHandle connection, std::uint32_t& error) const;

    MonotonicNow now_;
    RouteNetlink netlink_;
    std::vector<LinkRecord> dump_;
    std::vector<LinkSessions::Sighting> sightings_;
    LinkSessions sessions_;
};

} // namespace platform
