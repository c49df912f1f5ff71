#include "platform/links/networkmanager/NetworkManagerLinks.h"

#include "platform/links/networkmanager/ActivationWatch.h"
#include "platform/links/networkmanager/DialProgress.h"
#include "platform/links/networkmanager/NetworkManagerBus.h"
#include "platform/links/networkmanager/NetworkManagerRules.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform {

// This file speaks NetworkManager throughout.
using namespace nm;

NetworkManagerLinks::NetworkManagerLinks(const QDBusConnection& bus,
                                         std::chrono::milliseconds dialLimit, MonotonicNow now)
    : bus_(bus), dialLimit_(dialLimit), now_(std::move(now)), cache_(bus)
{
}

void NetworkManagerLinks::WhenReady(QObject* context, std::function<void()> ready)
{
    cache_.WhenAnswered(context, std::move(ready));
}

std::uint32_t NetworkManagerLinks::EnumConnections(std::span<RasConnection> buffer,
                                                   std::size_t& count)
{
    count = 0;
    Follow();
    if (const std::uint32_t error = CountTraffic()) {
        links_.Lose();
        devices_.Lose();
        return error;
    }
    if (followed_.size() > buffer.size())
        return RasErrorBufferTooSmall;
    for (const Followed& followed : followed_) {
        buffer[count].handle = followed.handle;
        std::memcpy(buffer[count].entryName, followed.id.c_str(), followed.id.size() + 1);
        ++count;
    }
    return 0;
}

// Takes the cache's active connections on: those followed already by their path, or, when they
// were followed under a NetworkManager that has gone, by their profile and interface.
void NetworkManagerLinks::Follow()
{
    const std::uint64_t epoch = cache_.Epoch();
    const auto now = now_();
    if (cache_.Listed() && listedEpoch_ != epoch) {
        listedEpoch_ = epoch;
        listedAt_ = now;
    }
    std::vector<Followed> next;
    for (const Cache::Active& active : cache_.ActiveConnections()) {
        if (!active.read || !IsUp(active.state) || !FitsEntryName(active.id))
            continue;
        const Cache::Device* device = cache_.FindDevice(active.device);
        const std::string interface = device ? device->ipInterface : std::string();
        const auto known = std::find_if(followed_.begin(), followed_.end(), [&](const auto& f) {
            return f.epoch == epoch
                       ? f.path == active.path
                       : f.uuid == active.uuid && (interface.empty() || f.interface == interface);
        });
        Followed followed;
        if (known != followed_.end()) {
            followed = std::move(*known);
            followed_.erase(known);
        } else {
            followed.handle = ++lastHandle_;
        }
        followed.epoch = epoch;
        followed.path = active.path;
        followed.uuid = active.uuid;
        followed.id = active.id;
        followed.device = active.device;
        followed.state = active.state;
        if (!interface.empty())
            followed.interface = interface;
        if (device && device->hasStatistics) {
            followed.deviceCounters = true;
            followed.received = device->received;
            followed.transmitted = device->transmitted;
        }
        next.push_back(std::move(followed));
    }
    // Those of a NetworkManager that is away, stalled or restarting go on as they were.
    const bool graceOver = cache_.Listed() && now - listedAt_ >= RestartGrace;
    for (Followed& followed : followed_) {
        if (followed.epoch != epoch && !graceOver)
            next.push_back(std::move(followed));
    }
    followed_ = std::move(next);
    // Among connections of one id the one followed longest comes first: a newcomer that
    // NetworkManager lists before it does not take its place.
    for (auto first = followed_.begin(); first != followed_.end(); ++first) {
        for (auto other = first + 1; other != followed_.end(); ++other) {
            if (other->id == first->id && other->handle < first->handle)
                std::swap(*first, *other);
        }
    }
}

// Counts each activated connection on its device's IP interface (ppp0, wwan0, eth0; a modem's
// control interface carries none), read from one dump of every link, or from NetworkManager's own
// statistics of the device when that interface lives in another namespace. A connection whose
// link has gone, or been made anew, has ended.
std::uint32_t NetworkManagerLinks::CountTraffic()
{
    if (const int error = netlink_.DumpLinks(dump_))
        return static_cast<std::uint32_t>(error);
    std::sort(dump_.begin(), dump_.end(),
              [](const LinkRecord& a, const LinkRecord& b) { return a.index < b.index; });
    const auto indexOf = [&](const std::string& name) {
        const auto link = std::find_if(dump_.begin(), dump_.end(), [&](const LinkRecord& l) {
            return !name.empty() && name == l.name;
        });
        return link != dump_.end() ? link->index : 0u;
    };
    std::erase_if(followed_, [&](const Followed& followed) {
        return followed.link != 0 && indexOf(followed.interface) != followed.link;
    });
    std::vector<LinkSessions::Sighting> elsewhere;
    for (Followed& followed : followed_) {
        if (followed.state != ActiveActivated || followed.link != 0 || followed.interface.empty())
            continue;
        followed.link = indexOf(followed.interface);
        if (followed.link != 0)
            continue;
        cache_.CountDevice(followed.device);
        if (!followed.deviceCounters)
            continue;
        LinkRecord counters;
        counters.index = followed.handle;
        counters.hasCounters = true;
        counters.bytesReceived = followed.received;
        counters.bytesTransmitted = followed.transmitted;
        elsewhere.push_back({counters, true, followed.handle});
    }
    sightings_.clear();
    for (const LinkRecord& link : dump_) {
        const auto carrier = std::find_if(followed_.begin(), followed_.end(),
                                          [&](const Followed& f) { return f.link == link.index; });
        const bool connected = carrier != followed_.end();
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

const NetworkManagerLinks::Followed* NetworkManagerLinks::Find(RasHandle connection) const
{
    const auto it = std::find_if(followed_.begin(), followed_.end(),
                                 [&](const Followed& f) { return f.handle == connection; });
    return it != followed_.end() ? &*it : nullptr;
}

std::uint32_t NetworkManagerLinks::GetConnectStatus(RasHandle connection, std::uint32_t& state)
{
    const Followed* followed = Find(connection);
    if (!followed)
        return RasErrorInvalidHandle;
    // One being counted stays connected while a restarted NetworkManager takes it over.
    state = followed->link != 0 ? RasConnectedState : ConnectState(followed->state);
    return 0;
}

std::uint32_t NetworkManagerLinks::GetConnectionStatistics(RasHandle connection, RasStats& stats)
{
    const Followed* followed = Find(connection);
    if (!followed)
        return RasErrorInvalidHandle;
    const LinkSessions& sessions = followed->link != 0 ? links_ : devices_;
    const LinkSessions::Session* session =
        sessions.Find(followed->link != 0 ? followed->link : followed->handle);
    if (!session || !session->connected)
        return ENODATA;
    stats = sessions.Statistics(*session);
    return 0;
}

std::uint32_t NetworkManagerLinks::GetLinkIdentity(RasHandle connection, RasLinkIdentity& identity)
{
    const Followed* followed = Find(connection);
    if (!followed)
        return RasErrorInvalidHandle;
    const LinkSessions::Session* session = links_.Find(followed->link);
    if (followed->link == 0 || !session || !session->connected ||
        static_cast<std::size_t>(followed->path.size()) > RasMaxActiveConnection)
        return ENODATA;
    identity = netlink_.Identify(session->link);
    // Object paths are ASCII; copied by hand, since this runs every second.
    char* end = std::transform(followed->path.begin(), followed->path.end(),
                               identity.activeConnection, [](QChar c) { return c.toLatin1(); });
    *end = '\0';
    return 0;
}

void NetworkManagerLinks::HangUp(RasHandle connection, HangUpAnswer answered)
{
    const Followed* followed = Find(connection);
    if (!followed)
        return answered(RasErrorInvalidHandle);
    if (cache_.Owner().isEmpty())
        return answered(ECONNREFUSED);
    if (followed->epoch != cache_.Epoch())
        return answered(ETIMEDOUT); // the NetworkManager now running has not listed it yet
    Deactivate(bus_, cache_.Owner(), followed->path, hangUps_, std::move(answered));
}

std::uint32_t NetworkManagerLinks::ReadProfiles(std::vector<Profile>& profiles,
                                                std::vector<QString>& paths) const
{
    if (cache_.Owner().isEmpty())
        return ECONNREFUSED;
    if (!cache_.Listed())
        return ETIMEDOUT;
    for (const Cache::StoredProfile& stored : cache_.Profiles()) {
        if (stored.read) {
            profiles.push_back(stored.profile);
            paths.push_back(stored.path);
        }
    }
    return 0;
}

bool NetworkManagerLinks::DialDlg(const char* entry, std::uint32_t& error)
{
    std::vector<Profile> profiles;
    std::vector<QString> paths;
    if ((error = ReadProfiles(profiles, paths)) != 0)
        return false;
    // A profile being activated already, by its autoconnect or another program, is waited on:
    // activating it again would start it over.
    std::vector<QString> activeOf(profiles.size());
    for (const Cache::Active& active : cache_.ActiveConnections()) {
        const auto profile = std::find(paths.begin(), paths.end(), active.profile);
        if (profile != paths.end() && active.read && IsUp(active.state)) {
            activeOf[profile - paths.begin()] = active.path;
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
    ActivationWatch watch(bus_, cache_, dialog);
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
    std::vector<Profile> profiles;
    std::vector<QString> paths;
    if (const std::uint32_t error = ReadProfiles(profiles, paths))
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

const char* NetworkManagerLinks::MissingRight(std::uint32_t error) const
{
    return nm::MissingRight(error);
}

} // namespace platform
