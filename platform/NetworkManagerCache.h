#pragma once

#include "platform/NetworkManagerRules.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

class QDBusObjectPath;
class QDBusPendingCallWatcher;

namespace platform::nm {

// What the NetworkManager that owns its name now has said about its active connections, their
// devices and its profiles: read without waiting when it appears, then followed through its
// signals, so that looking at it costs no call. Nothing is kept of a NetworkManager that has gone:
// its paths name nothing in the next one, and Epoch() counts the owners, none included. A call
// that times out is not an answer; everything is asked again a little later.
class Cache : public QObject {
    Q_OBJECT

public:
    struct Active {
        QString path;
        bool read = false; // its properties have arrived
        std::string id;
        QString uuid;    // its profile's, which outlasts a restart, unlike the paths
        QString profile; // its profile's path
        QString device;  // its first device's path, empty when it has none
        std::uint32_t state = 0;
    };
    struct Device {
        bool read = false;
        std::string ipInterface; // set only while the device is (nearly) activated
        bool counted = false;    // its statistics are followed
        bool hasStatistics = false;
        std::uint64_t received = 0;
        std::uint64_t transmitted = 0;
    };
    struct StoredProfile {
        QString path;
        bool read = false;
        Profile profile;
    };

    explicit Cache(const QDBusConnection& bus);

    // Waits for the answers to what has been asked so far, and to what they lead to, for a second
    // or two at most: at start, so that the first look sees the connections that are up.
    void AwaitAnswers();

    const QString& Owner() const { return owner_; }
    std::uint64_t Epoch() const { return epoch_; }
    // The owner has listed its active connections and its profiles.
    bool Listed() const { return activeListed_ && profilesListed_; }
    // In NetworkManager's order.
    std::span<const Active> ActiveConnections() const { return active_; }
    std::span<const StoredProfile> Profiles() const { return profiles_; }
    const Device* FindDevice(const QString& path) const;
    // Follows the device's own statistics from now on, and has NetworkManager refresh them.
    void CountDevice(const QString& path);

Q_SIGNALS:
    // NetworkManager said so, also of a connection not listed yet.
    void StateChanged(const QString& active, uint state, uint reason);
    // Anything the cache holds, or its owner.
    void Changed();

private Q_SLOTS:
    void OwnerChanged(const QString& service, const QString& oldOwner, const QString& newOwner);
    void PropertiesChanged(const QString& iface, const QVariantMap& changed,
                           const QStringList& invalidated, const QDBusMessage& signal);
    void ActiveStateChanged(uint state, uint reason, const QDBusMessage& signal);
    void ProfileAdded(const QDBusObjectPath& path, const QDBusMessage& signal);
    void ProfileRemoved(const QDBusObjectPath& path, const QDBusMessage& signal);
    void ProfileUpdated(const QDBusMessage& signal);

private:
    using Answer = std::function<void(const QDBusMessage& reply)>;

    void SetOwner(const QString& owner);
    void ReadAll();
    void Ask(const QDBusMessage& call, Answer answer);
    // A method of the owner's; `answer` sees only replies.
    void Read(const QString& path, const QString& iface, const QString& method,
              const QVariantList& arguments, Answer answer);
    void SetActiveList(const QList<QDBusObjectPath>& paths, bool again);
    void SetProfileList(const QList<QDBusObjectPath>& paths, bool again);
    void ReadActive(const QString& path);
    void ReadDevice(const QString& path);
    void ReadStatistics(const QString& path);
    void ReadProfile(const QString& path);
    void Update(Active& active, const QVariantMap& properties);
    bool FromOwner(const QDBusMessage& signal) const { return signal.service() == owner_; }

    QDBusConnection bus_;
    QString owner_;
    std::uint64_t epoch_ = 0;
    bool activeListed_ = false;
    bool profilesListed_ = false;
    std::vector<Active> active_;
    std::map<QString, Device> devices_;
    std::vector<StoredProfile> profiles_;
    std::vector<QDBusPendingCallWatcher*> asking_;
    QTimer retry_;
};

} // namespace platform::nm
