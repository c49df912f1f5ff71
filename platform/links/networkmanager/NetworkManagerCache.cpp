#include "platform/links/networkmanager/NetworkManagerCache.h"

#include "platform/links/networkmanager/NetworkManagerBus.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

namespace platform::nm {

namespace {

using namespace std::chrono_literals;

// Long enough for a busy NetworkManager: a stalled one is asked again once RetryDelay has passed.
constexpr int CallTimeoutMs = 2000;
constexpr auto RetryDelay = 2s;
constexpr auto AnswerWait = 1s;
// NetworkManager refreshes its device statistics only at a rate some program asked for.
constexpr std::uint32_t StatisticsRateMs = 1000;

QList<QDBusObjectPath> Paths(const QVariant& value)
{
    return qdbus_cast<QList<QDBusObjectPath>>(value);
}

QVariantMap Properties(const QDBusMessage& getAllReply)
{
    return qdbus_cast<QVariantMap>(getAllReply.arguments().value(0));
}

QVariant Value(const QDBusMessage& getReply)
{
    return getReply.arguments().value(0).value<QDBusVariant>().variant();
}

template <typename Records> auto FindByPath(Records& records, const QString& path)
{
    const auto it = std::find_if(records.begin(), records.end(),
                                 [&](const auto& record) { return record.path == path; });
    return it != records.end() ? &*it : nullptr;
}

// The records of `paths` in their order, those known kept as they are; `read` is called for
// each new one, or with `again` for each one not read yet.
template <typename Record, typename Read>
void Relist(std::vector<Record>& records, const QList<QDBusObjectPath>& paths, bool again,
            Read read)
{
    std::vector<Record> listed;
    for (const QDBusObjectPath& path : paths) {
        const Record* known = FindByPath(records, path.path());
        listed.push_back(known ? *known : Record());
        listed.back().path = path.path();
    }
    const std::vector<Record> before = std::exchange(records, std::move(listed));
    for (const Record& record : records) {
        if (again ? !record.read : !FindByPath(before, record.path))
            read(record.path);
    }
}

void UpdateStatistics(Cache::Device& device, const QVariantMap& changed)
{
    for (const auto& [name, counter] : {std::pair("RxBytes", &Cache::Device::received),
                                        std::pair("TxBytes", &Cache::Device::transmitted)}) {
        if (changed.contains(name)) {
            device.*counter = changed.value(name).toULongLong();
            device.hasStatistics = true;
        }
    }
}

} // namespace

Cache::Cache(const QDBusConnection& bus) : bus_(bus)
{
    qDBusRegisterMetaType<QMap<QString, QVariantMap>>();
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &Cache::ReadAll);
    auto* watcher =
        new QDBusServiceWatcher(Service, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &Cache::OwnerChanged);
    // Subscribed by the well-known name, QtDBus passes on the signals of whoever owns it.
    bus_.connect(Service, QString(), PropertiesIface, "PropertiesChanged", this,
                 SLOT(PropertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
    bus_.connect(Service, QString(), ActiveIface, "StateChanged", this,
                 SLOT(ActiveStateChanged(uint, uint, QDBusMessage)));
    bus_.connect(Service, SettingsPath, SettingsIface, "NewConnection", this,
                 SLOT(ProfileAdded(QDBusObjectPath, QDBusMessage)));
    bus_.connect(Service, SettingsPath, SettingsIface, "ConnectionRemoved", this,
                 SLOT(ProfileRemoved(QDBusObjectPath, QDBusMessage)));
    bus_.connect(Service, QString(), ProfileIface, "Updated", this,
                 SLOT(ProfileUpdated(QDBusMessage)));
    Ask(MethodCall(BusService, BusPath, BusService, "GetNameOwner", {Service}),
        [this](const QDBusMessage& reply) {
            if (reply.type() == QDBusMessage::ReplyMessage)
                SetOwner(reply.arguments().value(0).toString());
        });
}

void Cache::WhenAnswered(QObject* context, std::function<void()> answered)
{
    if (asking_.empty()) {
        answered();
        return;
    }
    // Whichever comes first calls it; the other finds it gone.
    auto pending = std::make_shared<std::function<void()>>(std::move(answered));
    const auto once = [pending] {
        if (*pending)
            std::exchange(*pending, nullptr)();
    };
    connect(this, &Cache::Answered, context, once, Qt::SingleShotConnection);
    QTimer::singleShot(AnswerWait, context, once);
}

const Cache::Device* Cache::FindDevice(const QString& path) const
{
    const auto it = devices_.find(path);
    return it != devices_.end() ? &it->second : nullptr;
}

void Cache::CountDevice(const QString& path)
{
    const auto it = devices_.find(path);
    if (it == devices_.end() || it->second.counted)
        return;
    it->second.counted = true;
    ReadStatistics(path);
}

void Cache::OwnerChanged(const QString&, const QString&, const QString& newOwner)
{
    SetOwner(newOwner);
}

void Cache::SetOwner(const QString& owner)
{
    if (owner == owner_)
        return;
    owner_ = owner;
    ++epoch_;
    activeListed_ = profilesListed_ = false;
    active_.clear();
    devices_.clear();
    profiles_.clear();
    retry_.stop();
    ReadAll();
    emit Changed();
}

void Cache::ReadAll()
{
    if (owner_.isEmpty())
        return;
    Read(ManagerPath, PropertiesIface, "Get", {ManagerIface, "ActiveConnections"},
         [this](const QDBusMessage& reply, std::uint64_t asked) {
             QList<QDBusObjectPath> paths = Paths(Value(reply));
             if (SaidSince(ManagerPath, ManagerIface, "ActiveConnections", asked)) {
                 paths.clear(); // the signal's list is newer
                 for (const Active& active : active_)
                     paths.append(QDBusObjectPath(active.path));
             }
             SetActiveList(paths, true);
         });
    ListProfiles();
    for (const auto& [path, device] : devices_) {
        if (device.counted && !device.hasStatistics)
            ReadStatistics(path);
    }
}

// Signals only tell which profile came or went, so a list they have changed since is asked again.
void Cache::ListProfiles()
{
    Read(SettingsPath, SettingsIface, "ListConnections", {},
         [this](const QDBusMessage& reply, std::uint64_t asked) {
             if (SaidSince(SettingsPath, SettingsIface, "Connections", asked))
                 ListProfiles();
             else
                 SetProfileList(Paths(reply.arguments().value(0)), true);
         });
}

void Cache::Ask(const QDBusMessage& call, Answer answer)
{
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, CallTimeoutMs), this);
    asking_.push_back(watcher);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, epoch = epoch_, answer = std::move(answer)](QDBusPendingCallWatcher* asked) {
                asked->deleteLater();
                std::erase(asking_, asked);
                if (epoch == epoch_) { // else an answer of a NetworkManager that has gone since
                    const QDBusMessage reply = asked->reply();
                    if (ErrorOf(reply) == ETIMEDOUT)
                        retry_.start(RetryDelay);
                    answer(reply);
                    emit Changed();
                }
                if (asking_.empty()) {
                    said_.clear(); // there is no answer left for a signal to outrank
                    emit Answered();
                }
            });
}

void Cache::Read(const QString& path, const QString& iface, const QString& method,
                 const QVariantList& arguments, Reading answer)
{
    Ask(MethodCall(owner_, path, iface, method, arguments),
        [answer = std::move(answer), asked = heard_](const QDBusMessage& reply) {
            if (reply.type() == QDBusMessage::ReplyMessage)
                answer(reply, asked);
        });
}

void Cache::Heard(const QString& path, const QString& iface, const QStringList& properties)
{
    ++heard_;
    if (asking_.empty())
        return;
    for (const QString& property : properties)
        said_[{path, iface + '.' + property}] = heard_;
}

bool Cache::SaidSince(const QString& path, const QString& iface, const QString& property,
                      std::uint64_t asked) const
{
    const auto said = said_.find({path, iface + '.' + property});
    return said != said_.end() && said->second > asked;
}

QVariantMap Cache::Unsaid(const QString& path, const QString& iface, QVariantMap properties,
                          std::uint64_t asked) const
{
    properties.removeIf([&](QVariantMap::iterator property) {
        return SaidSince(path, iface, property.key(), asked);
    });
    return properties;
}

void Cache::SetActiveList(const QList<QDBusObjectPath>& paths, bool again)
{
    activeListed_ = true;
    Relist(active_, paths, again, [this](const QString& path) { ReadActive(path); });
    std::erase_if(devices_, [this](const auto& device) {
        return std::none_of(active_.begin(), active_.end(),
                            [&](const Active& active) { return active.device == device.first; });
    });
    for (const auto& [path, device] : devices_) {
        if (again && !device.read)
            ReadDevice(path);
    }
}

void Cache::SetProfileList(const QList<QDBusObjectPath>& paths, bool again)
{
    profilesListed_ = true;
    Relist(profiles_, paths, again, [this](const QString& path) { ReadProfile(path); });
}

void Cache::ReadActive(const QString& path)
{
    Read(path, PropertiesIface, "GetAll", {ActiveIface},
         [this, path](const QDBusMessage& reply, std::uint64_t asked) {
             if (Active* active = FindByPath(active_, path)) {
                 active->read = true;
                 Update(*active, Unsaid(path, ActiveIface, Properties(reply), asked));
             }
         });
}

void Cache::Update(Active& active, const QVariantMap& properties)
{
    if (properties.contains("Id"))
        active.id = properties.value("Id").toString().toStdString();
    if (properties.contains("Uuid"))
        active.uuid = properties.value("Uuid").toString();
    if (properties.contains("Connection"))
        active.profile = properties.value("Connection").value<QDBusObjectPath>().path();
    if (properties.contains("State"))
        active.state = properties.value("State").toUInt();
    if (properties.contains("Devices")) {
        const QList<QDBusObjectPath> devices = Paths(properties.value("Devices"));
        active.device = devices.isEmpty() ? QString() : devices.front().path();
        if (!active.device.isEmpty() && !devices_.contains(active.device))
            ReadDevice(active.device);
    }
}

void Cache::ReadDevice(const QString& path)
{
    devices_[path];
    Read(path, PropertiesIface, "Get", {DeviceIface, "IpInterface"},
         [this, path](const QDBusMessage& reply, std::uint64_t asked) {
             if (const auto device = devices_.find(path); device != devices_.end()) {
                 device->second.read = true;
                 if (!SaidSince(path, DeviceIface, "IpInterface", asked))
                     device->second.ipInterface = Value(reply).toString().toStdString();
             }
         });
}

void Cache::ReadStatistics(const QString& path)
{
    Read(path, PropertiesIface, "GetAll", {StatisticsIface},
         [this, path](const QDBusMessage& reply, std::uint64_t asked) {
             const auto device = devices_.find(path);
             if (device == devices_.end())
                 return;
             const QVariantMap statistics = Properties(reply);
             UpdateStatistics(device->second, Unsaid(path, StatisticsIface, statistics, asked));
             if (statistics.value("RefreshRateMs").toUInt() == 0) {
                 // Needs a right the user may lack; the counters then stay as they are.
                 bus_.send(MethodCall(owner_, path, PropertiesIface, "Set",
                                      {StatisticsIface, "RefreshRateMs",
                                       QVariant::fromValue(QDBusVariant(StatisticsRateMs))}));
             }
         });
}

// The settings are asked once the flags are in (or known to be missing: NetworkManager has none
// before 1.12), so that the flags are in once the profile counts as read.
void Cache::ReadProfile(const QString& path)
{
    Ask(MethodCall(owner_, path, PropertiesIface, "Get", {ProfileIface, "Flags"}),
        [this, path, asked = heard_](const QDBusMessage& reply) {
            StoredProfile* stored = FindByPath(profiles_, path);
            if (!stored || ErrorOf(reply) == ETIMEDOUT) // one not read is asked again
                return;
            if (reply.type() == QDBusMessage::ReplyMessage &&
                !SaidSince(path, ProfileIface, "Flags", asked))
                stored->profile.flags = Value(reply).toUInt();
            Read(path, ProfileIface, "GetSettings", {},
                 [this, path](const QDBusMessage& settings, std::uint64_t settingsAsked) {
                     StoredProfile* record = FindByPath(profiles_, path);
                     // Changed since: the answer to the question that was then asked counts.
                     if (!record || SaidSince(path, ProfileIface, "Updated", settingsAsked))
                         return;
                     const QVariantMap connection =
                         qdbus_cast<QMap<QString, QVariantMap>>(settings.arguments().value(0))
                             .value("connection");
                     record->read = true;
                     record->profile.id = connection.value("id").toString().toStdString();
                     record->profile.type = connection.value("type").toString().toStdString();
                     record->profile.timestamp = connection.value("timestamp").toULongLong();
                 });
        });
}

void Cache::PropertiesChanged(const QString& iface, const QVariantMap& changed, const QStringList&,
                              const QDBusMessage& signal)
{
    if (!FromOwner(signal))
        return;
    const QString path = signal.path();
    Heard(path, iface, changed.keys());
    const auto device = devices_.find(path);
    if (iface == ManagerIface && path == ManagerPath && changed.contains("ActiveConnections")) {
        SetActiveList(Paths(changed.value("ActiveConnections")), false);
    } else if (Active* active = FindByPath(active_, path); iface == ActiveIface && active) {
        Update(*active, changed);
    } else if (iface == DeviceIface && device != devices_.end() &&
               changed.contains("IpInterface")) {
        device->second.ipInterface = changed.value("IpInterface").toString().toStdString();
    } else if (iface == StatisticsIface && device != devices_.end()) {
        UpdateStatistics(device->second, changed);
    } else if (StoredProfile* stored = FindByPath(profiles_, path);
               iface == ProfileIface && stored && changed.contains("Flags")) {
        stored->profile.flags = changed.value("Flags").toUInt();
    }
    emit Changed();
}

void Cache::ActiveStateChanged(uint state, uint reason, const QDBusMessage& signal)
{
    if (!FromOwner(signal))
        return;
    Heard(signal.path(), ActiveIface, {"State"});
    if (Active* active = FindByPath(active_, signal.path()))
        active->state = state;
    emit StateChanged(signal.path(), state, reason);
    emit Changed();
}

void Cache::ProfileAdded(const QDBusObjectPath& path, const QDBusMessage& signal)
{
    if (!FromOwner(signal))
        return;
    Heard(SettingsPath, SettingsIface, {"Connections"});
    if (FindByPath(profiles_, path.path()))
        return;
    profiles_.emplace_back().path = path.path();
    ReadProfile(path.path());
}

void Cache::ProfileRemoved(const QDBusObjectPath& path, const QDBusMessage& signal)
{
    if (!FromOwner(signal))
        return;
    Heard(SettingsPath, SettingsIface, {"Connections"});
    std::erase_if(profiles_, [&](const StoredProfile& p) { return p.path == path.path(); });
    emit Changed();
}

void Cache::ProfileUpdated(const QDBusMessage& signal)
{
    if (!FromOwner(signal))
        return;
    Heard(signal.path(), ProfileIface, {"Updated"});
    if (FindByPath(profiles_, signal.path()))
        ReadProfile(signal.path());
}

} // namespace platform::nm
