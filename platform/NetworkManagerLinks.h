#pragma once

#include "platform/LinkSessions.h"
#include "platform/RasApi.h"
#include "platform/RouteNetlink.h"

#include <QDBusConnection>
#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace platform {

// The remote-access service over NetworkManager's D-Bus API: an entry is a profile id, an active
// connection is one that is activating or activated. Handles are numbers of our own, never
// NetworkManager's object paths, which it numbers afresh after a restart; every call goes to the
// NetworkManager process that gave the handles, so a restarted one voids them all. Each
// EnumConnections takes one snapshot of the active connections and of every link of the calling
// thread's namespace; a connection's bytes are the kernel's counters of its device's IP interface
// since the connection began (NetworkManager's own device statistics when that interface is not
// in this namespace). Error codes are errno values; blocking calls give up after a second and a
// half.
class NetworkManagerLinks final : public RasApi {
public:
    using MonotonicNow = std::function<std::chrono::steady_clock::time_point()>;

    // How long the dial dialog waits for NetworkManager to bring a connection up.
    static constexpr std::chrono::seconds DialLimit{90};

    explicit NetworkManagerLinks(const QDBusConnection& bus,
                                 std::chrono::milliseconds dialLimit = DialLimit,
                                 MonotonicNow now = std::chrono::steady_clock::now);

    std::uint32_t EnumConnections(std::span<RasConnection> buffer, std::size_t& count) override;
    std::uint32_t GetConnectStatus(RasHandle connection, std::uint32_t& state) override;
    std::uint32_t GetConnectionStatistics(RasHandle connection, RasStats& stats) override;
    std::uint32_t HangUp(RasHandle connection) override;
    // Activates the entry's profile, or waits on it when it is already being activated, behind a
    // small modal progress dialog with Cancel.
    bool DialDlg(const char* entry, std::uint32_t& error) override;
    std::uint32_t EnumEntries(std::span<RasEntryName> buffer, std::size_t& count) override;

private:
    struct Active {
        RasHandle handle;
        QString path;
        QString device;
        std::string id;
        std::uint32_t state;
        // The device's IP interface in this namespace, 0 when it is not seen here.
        std::uint32_t link = 0;
        bool deviceCounted = false;
    };

    std::uint32_t Poll();
    std::uint32_t CountTraffic();
    const Active* Find(RasHandle connection) const;

    QDBusConnection bus_;
    std::chrono::milliseconds dialLimit_;
    MonotonicNow now_;
    RouteNetlink netlink_;
    // The NetworkManager process (its unique bus name) that the handles belong to.
    QString owner_;
    RasHandle lastHandle_ = 0;
    std::map<QString, RasHandle> handles_;
    std::vector<Active> active_;
    std::vector<LinkRecord> dump_;
    std::vector<LinkSessions::Sighting> sightings_;
    // IP interfaces in this namespace, by link index.
    LinkSessions links_;
    // NetworkManager's own counters of the devices whose interface is elsewhere, by handle.
    LinkSessions devices_;
};

} // namespace platform
