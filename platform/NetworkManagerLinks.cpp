#include "platform/NetworkManagerLinks.h"

#include "platform/DialProgress.h"
#include "platform/NetworkManagerRules.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform {

namespace {

const QString Service = "org.freedesktop.NetworkManager";
const QString ManagerPath = "/org/freedesktop/NetworkManager";
const QString ManagerIface = Service;
const QString SettingsPath = "/org/freedesktop/NetworkManager/Settings";
const QString SettingsIface = "org.freedesktop.NetworkManager.Settings";
const QString ProfileIface = "org.freedesktop.NetworkManager.Settings.Connection";
const QString ActiveIface = "org.freedesktop.NetworkManager.Connection.Active";
const QString DeviceIface = "org.freedesktop.NetworkManager.Device";
const QString StatisticsIface = "org.freedesktop.NetworkManager.Device.Statistics";
const QString PropertiesIface = "org.freedesktop.DBus.Properties";

constexpr int CallTimeoutMs = 1500;
// How often the dial dialog asks after a connection that may have vanished without a word.
constexpr std::chrono::milliseconds DialPollInterval{500};
// NetworkManager refreshes its device statistics only at a rate some program asked for.
constexpr std::uint32_t StatisticsRateMs = 1000;

QDBusMessage MethodCall(const QString& to, const QString& path, const QString& iface,
                        const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(to, path, iface, method);
    message.setArguments(arguments);
    return message;
}

QDBusMessage Call(const QDBusConnection& bus, const QString& to, const QString& path,
                  const QString& iface, const QString& method, const QVariantList& arguments = {})
{
    return bus.call(MethodCall(to, path, iface, method, arguments), QDBus::Block, CallTimeoutMs);
}

std::uint32_t ErrorOf(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ReplyMessage
               ? 0
               : nm::ErrorCode(reply.errorName().toStdString());
}

std::uint32_t Get(const QDBusConnection& bus, const QString& to, const QString& path,
                  const QString& iface, const QString& name, QVariant& value)
{
    const QDBusMessage reply = Call(bus, to, path, PropertiesIface, "Get", {iface, name});
    if (const std::uint32_t error = ErrorOf(reply))
        return error;
    value = reply.arguments().value(0).value<QDBusVariant>().variant();
    return 0;
}

std::uint32_t GetAll(const QDBusConnection& bus, const QString& to, const QString& path,
                     const QString& iface, QVariantMap& properties)
{
    const QDBusMessage reply = Call(bus, to, path, PropertiesIface, "GetAll", {iface});
    if (const std::uint32_t error = ErrorOf(reply))
        return error;
    properties = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    return 0;
}

// The unique bus name of the running NetworkManager.
std::uint32_t NameOwner(const QDBusConnection& bus, QString& owner)
{
    const QDBusMessage reply = Call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                    "org.freedesktop.DBus", "GetNameOwner", {Service});
    if (const std::uint32_t error = ErrorOf(reply))
        return error;
    owner = reply.arguments().value(0).toString();
    return 0;
}

struct ActiveConnection {
    QString path;
    QVariantMap properties;
};

bool IsUp(const QVariantMap& active)
{
    const std::uint32_t state = active.value("State").toUInt();
    return state == nm::ActiveActivating || state == nm::ActiveActivated;
}

// One that ends between the list and its properties is left out: it is gone.
std::uint32_t ReadActive(const QDBusConnection& bus, const QString& owner,
                         std::vector<ActiveConnection>& active)
{
    QVariant paths;
    if (const std::uint32_t error =
            Get(bus, owner, ManagerPath, ManagerIface, "ActiveConnections", paths))
        return error;
    for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(paths)) {
        QVariantMap properties;
        if (GetAll(bus, owner, path.path(), ActiveIface, properties) == 0)
            active.push_back({path.path(), properties});
    }
    return 0;
}

std::uint32_t ReadProfiles(const QDBusConnection& bus, const QString& owner,
                           std::vector<nm::Profile>& profiles, std::vector<QString>& paths)
{
    const QDBusMessage list = Call(bus, owner, SettingsPath, SettingsIface, "ListConnections");
    if (const std::uint32_t error = ErrorOf(list))
        return error;
    for (const QDBusObjectPath& path :
         qdbus_cast<QList<QDBusObjectPath>>(list.arguments().value(0))) {
        const QDBusMessage settings = Call(bus, owner, path.path(), ProfileIface, "GetSettings");
        if (ErrorOf(settings))
            continue; // removed since
        const QVariantMap connection =
            qdbus_cast<QMap<QString, QVariantMap>>(settings.arguments().value(0))
                .value("connection");
        QVariant flags;
        Get(bus, owner, path.path(), ProfileIface, "Flags", flags); // none before NM 1.12
        profiles.push_back({connection.value("id").toString().toStdString(),
                            connection.value("type").toString().toStdString(), flags.toUInt(),
                            connection.value("timestamp").toULongLong(), false});
        paths.push_back(path.path());
    }
    return 0;
}

std::uint32_t Deactivate(const QDBusConnection& bus, const QString& owner, const QString& active)
{
    return ErrorOf(Call(bus, owner, ManagerPath, ManagerIface, "DeactivateConnection",
                        {QVariant::fromValue(QDBusObjectPath(active))}));
}

} // namespace

// Follows one activation to its end for the dial dialog: NetworkManager's answer to the request,
// then the connection's state changes, and a look now and then for a connection gone without one.
class ActivationWatch : public QObject {
    Q_OBJECT

public:
    ActivationWatch(const QDBusConnection& bus, const QString& owner, DialProgress& dialog)
        : bus_(bus), owner_(owner), dialog_(dialog)
    {
        connect(&poll_, &QTimer::timeout, this, &ActivationWatch::Check);
        // Every connection's, from before the request: one that fails at once must not have its
        // reason lost before its path is known.
        bus_.connect(owner_, QString(), ActiveIface, "StateChanged", this,
                     SLOT(StateChanged(uint, uint, QDBusMessage)));
    }

    ~ActivationWatch() override
    {
        bus_.disconnect(owner_, QString(), ActiveIface, "StateChanged", this,
                        SLOT(StateChanged(uint, uint, QDBusMessage)));
    }

    // The user may be asked to authorise this, so the answer can take as long as the dial.
    void Activate(const QString& profile, std::chrono::milliseconds limit)
    {
        QDBusMessage message = MethodCall(owner_, ManagerPath, ManagerIface, "ActivateConnection",
                                          {QVariant::fromValue(QDBusObjectPath(profile)),
                                           QVariant::fromValue(QDBusObjectPath("/")),
                                           QVariant::fromValue(QDBusObjectPath("/"))});
        message.setInteractiveAuthorizationAllowed(true);
        pending_ = new QDBusPendingCallWatcher(bus_.asyncCall(message, int(limit.count())), this);
        connect(pending_, &QDBusPendingCallWatcher::finished, this,
                [this](QDBusPendingCallWatcher* answer) {
                    answer->deleteLater();
                    pending_ = nullptr;
                    const QDBusPendingReply<QDBusObjectPath> reply = *answer;
                    if (reply.isError())
                        End(false, nm::ErrorCode(reply.error().name().toStdString()));
                    else
                        Follow(reply.value().path());
                });
    }

    void Follow(const QString& active)
    {
        active_ = active;
        for (const auto& [path, state, reason] : early_) {
            if (path == active_)
                Changed(state, reason);
        }
        Check();
        poll_.start(DialPollInterval);
    }

    // Takes down what the dial brought up, now or, while NetworkManager has not answered the
    // request yet (the user may still be asked to authorise it), once it does.
    void GiveUp()
    {
        if (!active_.isEmpty()) {
            Deactivate(bus_, owner_, active_);
        } else if (pending_) {
            pending_->disconnect(this);
            pending_->setParent(nullptr);
            connect(pending_, &QDBusPendingCallWatcher::finished,
                    [bus = bus_, owner = owner_](QDBusPendingCallWatcher* answer) {
                        answer->deleteLater();
                        const QDBusPendingReply<QDBusObjectPath> reply = *answer;
                        if (!reply.isError())
                            Deactivate(bus, owner, reply.value().path());
                    });
        }
    }

    bool Activated() const { return activated_; }
    std::uint32_t Error() const { return error_; }

public Q_SLOTS:
    void StateChanged(uint state, uint reason, const QDBusMessage& signal)
    {
        if (active_.isEmpty())
            early_.push_back({signal.path(), state, reason});
        else if (signal.path() == active_)
            Changed(state, reason);
    }

private:
    void Changed(std::uint32_t state, std::uint32_t reason)
    {
        if (state == nm::ActiveActivated)
            End(true, 0);
        else if (state != nm::ActiveActivating)
            End(false, nm::FailureCode(reason));
    }

    // A state change seen here may have its signal, which carries the reason, still queued: the
    // verdict waits behind it.
    void Check()
    {
        QVariant state;
        const std::uint32_t error = Get(bus_, owner_, active_, ActiveIface, "State", state);
        if (error == 0 && state.toUInt() == nm::ActiveActivated) {
            End(true, 0);
        } else if (error == RasErrorInvalidHandle || error == ECONNREFUSED ||
                   (error == 0 && state.toUInt() != nm::ActiveActivating)) {
            const std::uint32_t verdict = error == ECONNREFUSED ? error : nm::VanishedError;
            QMetaObject::invokeMethod(
                this, [this, verdict] { End(false, verdict); }, Qt::QueuedConnection);
        }
    }

    void End(bool activated, std::uint32_t error)
    {
        if (ended_)
            return;
        ended_ = true;
        activated_ = activated;
        error_ = error;
        poll_.stop();
        dialog_.Finish();
    }

    QDBusConnection bus_;
    QString owner_;
    DialProgress& dialog_;
    QString active_;
    struct Change {
        QString path;
        std::uint32_t state;
        std::uint32_t reason;
    };
    // Changes seen before the request was answered.
    std::vector<Change> early_;
    QDBusPendingCallWatcher* pending_ = nullptr;
    QTimer poll_;
    bool ended_ = false;
    bool activated_ = false;
    std::uint32_t error_ = 0;
};

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
        if (!IsUp(connection.properties) || !nm::FitsEntryName(id))
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
        if (active.state != nm::ActiveActivated || active.device.isEmpty() ||
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
    state = nm::ConnectState(active->state);
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
    std::vector<nm::Profile> profiles;
    std::vector<QString> paths;
    std::vector<ActiveConnection> active;
    error = NameOwner(bus_, owner);
    if (error == 0)
        error = ReadProfiles(bus_, owner, profiles, paths);
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
    const nm::Profile* profile = nm::ProfileToDial(profiles, entry);
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
    std::vector<nm::Profile> profiles;
    std::vector<QString> paths;
    std::uint32_t error = NameOwner(bus_, owner);
    if (error == 0)
        error = ReadProfiles(bus_, owner, profiles, paths);
    if (error != 0)
        return error;
    const std::vector<std::string> names = nm::EntryNames(profiles);
    if (names.size() > buffer.size())
        return RasErrorBufferTooSmall;
    for (const std::string& name : names) {
        std::memcpy(buffer[count].name, name.c_str(), name.size() + 1);
        ++count;
    }
    return 0;
}

} // namespace platform

#include "NetworkManagerLinks.moc"
