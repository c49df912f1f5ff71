#pragma once

#include "platform/links/RasApi.h"
#include "platform/links/kernel/LinkSessions.h"
#include "platform/links/kernel/RouteNetlink.h"
#include "platform/links/networkmanager/NetworkManagerCache.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// The remote-access service over NetworkManager's D-Bus API: an entry is a profile id, an active
// connection is one that is activating or activated. NetworkManager's state comes from a cache
// that follows its signals, so a poll makes no call while nothing changes. Handles are numbers of
// our own, never NetworkManager's object paths, which it numbers afresh after a restart. A
// connection is followed until NetworkManager, answering, says it has ended, or the interface it
// was counted on leaves the kernel's list: while NetworkManager stalls or is away its connections
// go on being counted, and once it is back the same profile on the same interface goes on under
// the same handle. Each EnumConnections takes one snapshot of every link of the namespace the
// calling thread was in at the first call; a connection's bytes are the kernel's counters of its
// device's IP interface since the connection began (NetworkManager's own device statistics when
// that interface is not in this namespace). Error codes are errno values.
class NetworkManagerLinks final : public RasApi {
public:
    using MonotonicNow = std::function<std::chrono::steady_clock::time_point()>;

    // How long the dial dialog waits for NetworkManager to bring a connection up.
    static constexpr std::chrono::seconds DialLimit{90};
    // How long connections counted before NetworkManager restarted wait for it to list them again
    // once it answers: it takes over the devices that are up one by one.
    static constexpr std::chrono::seconds RestartGrace{20};

    explicit NetworkManagerLinks(const QDBusConnection& bus,
                                 std::chrono::milliseconds dialLimit = DialLimit,
                                 MonotonicNow now = std::chrono::steady_clock::now);

    // Once NetworkManager has given its first answers, or has not for a second.
    void WhenReady(QObject* context, std::function<void()> ready) override;
    std::uint32_t EnumConnections(std::span<RasConnection> buffer, std::size_t& count) override;
    std::uint32_t GetConnectStatus(RasHandle connection, std::uint32_t& state) override;
    std::uint32_t GetConnectionStatistics(RasHandle connection, RasStats& stats) override;
    // Only for a connection counted on an interface of this namespace.
    std::uint32_t GetLinkIdentity(RasHandle connection, RasLinkIdentity& identity) override;
    // Answers once NetworkManager has, or has not for a second and a half.
    void HangUp(RasHandle connection, HangUpAnswer answered) override;
    // Activates the entry's profile, or waits on it when it is already being activated, behind a
    // small modal progress dialog with Cancel.
    bool DialDlg(const char* entry, std::uint32_t& error) override;
    std::uint32_t EnumEntries(std::span<RasEntryName> buffer, std::size_t& count) override;
    const char* MissingRight(std::uint32_t error) const override;

private:
    // An active connection handed out.
    struct Followed {
        RasHandle handle = 0;
        std::uint64_t epoch = 0; // of the NetworkManager whose path `path` is
        QString path;
        QString uuid;
        std::string id;
        QString device;
        std::uint32_t state = 0;
        std::string interface; // the last IP interface NetworkManager named for it
        // That interface's index here once the connection is counted on it, 0 before.
        std::uint32_t link = 0;
        // NetworkManager's counters of the device, last seen, when the interface is elsewhere.
        bool deviceCounters = false;
        std::uint64_t received = 0;
        std::uint64_t transmitted = 0;
    };

    void Follow();
    std::uint32_t CountTraffic();
    const Followed* Find(RasHandle connection) const;
    // The owner's profiles that have been read, and their paths.
    std::uint32_t ReadProfiles(std::vector<nm::Profile>& profiles,
                               std::vector<QString>& paths) const;

    QDBusConnection bus_;
    std::chrono::milliseconds dialLimit_;
    MonotonicNow now_;
    nm::Cache cache_;
    // Holds the hang-ups that wait for NetworkManager's answer.
    QObject hangUps_;
    RouteNetlink netlink_;
    RasHandle lastHandle_ = 0;
    std::vector<Followed> followed_;
    // When the cache's present owner first listed its connections.
    std::uint64_t listedEpoch_ = 0;
    std::chrono::steady_clock::time_point listedAt_;
    std::vector<LinkRecord> dump_;
    std::vector<LinkSessions::Sighting> sightings_;
    // IP interfaces in this namespace, by link index.
    LinkSessions links_;
    // NetworkManager's own counters of the devices whose interface is elsewhere, by handle.
    LinkSessions devices_;
};

} // namespace platform
