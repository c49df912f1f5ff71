#include "platform/NetworkManagerLinks.h"

#include "platform/ActivationWatch.h"
#include "platform/DialProgress.h"
#include "platform/NetworkManagerBus.h"
#include "platform/NetworkManagerRules.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform {

// This file speaks NetworkManager throughout.
using namespace nm;

namespace {

// NetworkManager refreshes its device statistics only at a rate some program asked for.
constexpr std::uint32_t StatisticsRateMs = 1000;

// The profiles known to the NetworkManager that owns its name now.
std::uint32_t ReadCurrentProfiles(const QDBusConnection& bus, QString& owner,
                                  std::vector<Profile>& profiles, std::vector<QString>& paths)
{
    const std::uint32_t error = NameOwner(bus, owner);
    return error != 0 ? error : ReadProfiles(bus, owner, profiles, paths);
}

} // namespace

NetworkManagerLinks::NetworkManagerLinks(const QDBusConnection& bus,
                                         std::chrono::milliseconds dialLimit, MonotonicNow now)
    : bus_(bus), dialLimit_(dialLimit), now_(std::move(now))
{
    qDBusRegisterMetaType<QMap<QString, QVariantMap>>();
}

std::uint32_t NetworkManagerLinks::EnumConnections(std::span<RasConnection> buffer,
                                                   std::size_t& count)
{
    count = 0;
    if (const std::uint32_t error = Poll()) {
        active_.clear();
        links_.Lose();
        devices_.Lose();
        return error;
    }
    if (active_.size() > buffer.size())
        return RasErrorBufferTooSmall;
    for (const Active& active : active_) {
        buffer[count].handle = active.handle;
        std::memcpy(buffer[count].entryName, active.id.c_str(), active.id.size() + 1);
        ++count;
    }
    return 0;
}

std::uint32_t NetworkManagerLinks::Poll()
{
    QString owner;
    if (const std::uint32_t error = NameOwner(bus_, owner))
        return error;
    if (owner != owner_) { // a restart: the handles given before name nothing now
        handles_.clear();
        owner_ = owner;
    }
    std::vector<ActiveConnection> found;
    if (const std::uint32_t error = ReadActive(bus_, owner_, found))
        return error;
    active_.clear();
    std::map<QString, RasHandle> kept;
    for (const ActiveConnection& connection : found) {
        const std::string id = connection.properties.value("Id").toString().toStdString();
        if (!IsUp(connection.properties) || !FitsEntryName(id))
            continue;
        const auto known = handles_.find(connection.path);
        const RasHandle handle = known != handles_.end() ? known->second : ++lastHandle_;
        kept.emplace(connection.path, handle);
        const auto devices =
            qdbus_cast<QList<QDBusObjectPath>>(connection.properties.value("Devices"));
        active_.push_back({handle, connection.path,
                           devices.isEmpty() ? QString() : devices.front().path(), id,
                           connection.properties.value("State").toUInt()});
    }
    handles_ = std::move(kept);
    return CountTraffic();
}

// Counts each activated connection on its device's IP interface (ppp0, wwan0, eth0; a modem's
// control interface carries none), read from one dump of every link, or from NetworkManager's own
// statistics of the device when that interface lives in another namespace.
std::uint32_t NetworkManagerLinks::CountTraffic()
{
    if (const int error = netlink_.DumpLinks(dump_))
        return static_cast<std::uint32_t>(error);
    std::sort(dump_.begin(), dump_.end(),
              [](const LinkRecord& a, const LinkRecord& b) { return a.index < b.index; });
    std::vector<LinkSessions::Sighting> elsewhere;
    for (Active& active : active_) {
        QVariant name;
        if (active.state != ActiveActivated || active.device.isEmpty() ||
            Get(bus_, owner_, active.device, DeviceIface, "IpInterface", name) != 0)
            continue;
        const std::string interface = name.toString().toStdString();
        const auto link = std::find_if(dump_.begin(), dump_.end(), [&](const LinkRecord& l) {
            return !interface.empty() && interface == l.name;
        });
        if (link != dump_.end()) {
            active.link = link->index;
            continue;
        }
        QVariantMap statistics;
        if (GetAll(bus_, owner_, active.device, StatisticsIface, statistics) != 0)
            continue;
        if (statistics.value("RefreshRateMs").toUInt() == 0) {
            // Needs a right the user may lack; the counters then stay as they are.
            Call(bus_, owner_, active.device, PropertiesIface, "Set",
                 {StatisticsIface, "RefreshRateMs",
                  QVariant::fromValue(QDBusVariant(StatisticsRateMs))});
        }
        active.deviceCounted = true;
        LinkRecord counters;
        counters.index = active.handle;
        counters.hasCounters = true;
        counters.bytesReceived = statistics.value("RxBytes").toULongLong();
        counters.bytesTransmitted = statistics.value("TxBytes").toULongLong();
        elsewhere.push_back({counters, true, active.handle});
    }
    sightings_.clear();
    for (const LinkRecord& link : dump_) {
        const auto carrier = std::find_if(active_.begin(), active_.end(),
                                          [&](const Active& a) { return a.link == link.index; });
        const bool connected = carrier != active_.end();
        sightings_.push_back({link, connected, connected ? carrier->handle : 0});
    }
    const auto now = now_();
    links_.Take(sightings_, now, true);
    std::sort(elsewhere.begin(), elsewhere.end(),
              [](const auto& a, const auto& b) { return a.link.index < b.link.index; });
    // NetworkManager's counters are the device's since it appeared, whatever was seen before.
    devices_.Take(elsewhere, now, false);
    return 0;
}

const NetworkManagerLinks::Active* NetworkManagerLinks::Find(RasHandle connection) const
{
    const auto it = std::find_if(active_.begin(), active_.end(),
                                 [&](const Active& a) { return a.handle == connection; });
    return it != active_.end() ? &*it : nullptr;
}

std::uint32_t NetworkManagerLinks::GetConnectStatus(RasHandle connection, std::uint32_t& state)
{
    const Active* active = Find(connection);
    if (!active)
        return RasErrorInvalidHandle;
    state = ConnectState(active->state);
    return 0;
}

std::uint32_t NetworkManagerLinks::GetConnectionStatistics(RasHandle connection, RasStats& stats)
{
    const Active* active = Find(connection);
    if (!active)
        return RasErrorInvalidHandle;
    const LinkSessions& sessions = active->deviceCounted ? devices_ : links_;
    const LinkSessions::Session* session = active->deviceCounted ? devices_.Find(active->handle)
                                           : active->link        ? links_.Find(active->link)
                                                                 : nullptr;
    if (!session || !session->connected)
        return ENODATA;
    stats = sessions.Statistics(*session);
    return 0;
}

std::uint32_t NetworkManagerLinks::HangUp(RasHandle connection)
{
    const Active* active = Find(connection);
    if (!active)
        return RasErrorInvalidHandle;
    return Deactivate(bus_, owner_, active->path);
}

bool NetworkManagerLinks::DialDlg(const char* entry, std::uint32_t& error)
{
    QString owner;
    std::vector<Profile> profiles;
    std::vector<QString> paths;
    std::vector<ActiveConnection> active;
    error = ReadCurrentProfiles(bus_, owner, profiles, paths);
    if (error == 0)
        error = ReadActive(bus_, owner, active);
    if (error != 0)
        return false;
    // A profile being activated already, by its autoconnect or another program, is waited on:
    // activating it again would start it over.
    std::vector<QString> activeOf(profiles.size());
    for (const ActiveConnection& connection : active) {
        const auto profile =
            std::find(paths.begin(), paths.end(),
                      connection.properties.value("Connection").value<QDBusObjectPath>().path());
        if (profile != paths.end() && IsUp(connection.properties)) {
            activeOf[profile - paths.begin()] = connection.path;
            profiles[profile - paths.begin()].active = true;
        }
    }
    const Profile* profile = ProfileToDial(profiles, entry);
    if (!profile) {
        error = ENOENT;
        return false;
    }
    const auto chosen = static_cast<std::size_t>(profile - profiles.data());
    DialProgress dialog(QString::fromUtf8(entry), dialLimit_);
    ActivationWatch watch(bus_, owner, dialog);
    if (profile->active)
        watch.Follow(activeOf[chosen]);
    else
        watch.Activate(paths[chosen], dialLimit_);
    const DialProgress::Outcome outcome = dialog.Run();
    if (outcome == DialProgress::Outcome::Finished) {
        error = watch.Error();
        return watch.Activated();
    }
    // Given up: the connection is not left half set up.
    watch.GiveUp();
    error = outcome == DialProgress::Outcome::TimedOut ? ETIMEDOUT : 0;
    return false;
}

std::uint32_t NetworkManagerLinks::EnumEntries(std::span<RasEntryName> buffer, std::size_t& count)
{
    count = 0;
    QString owner;
    std::vector<Profile> profiles;
    std::vector<QString> paths;
    if (const std::uint32_t error = ReadCurrentProfiles(bus_, owner, profiles, paths))
        return error;
    const std::vector<std::string> names = EntryNames(profiles);
    if (names.size() > buffer.size())
        return RasErrorBufferTooSmall;
    for (const std::string& name : names) {
        std::memcpy(buffer[count].name, name.c_str(), name.size() + 1);
        ++count;
    }
    return 0;
}

} // namespace platform
