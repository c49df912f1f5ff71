#pragma once

#include "platform/links/networkmanager/NetworkManagerRules.h"

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
#include <utility>
#include <vector>

class QDBusObjectPath;
class QDBusPendingCallWatcher;

namespace platform::nm {

// What the NetworkManager that owns its name now has said about its active connections, their
// devices and its profiles: read without waiting when it appears, then followed through its
// signals, so that looking at it costs no call. Nothing is kept of a NetworkManager that has gone:
// its paths name nothing in the next one, and Epoch() counts the owners, none included. A call
// that times out is not an answer; everything is asked again a little later. QtDBus may hand an
// answer on after signals NetworkManager sent after it, so an answer never undoes what a signal
// heard since the question was asked has said: it only fills in the rest.
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

    // Calls `answered`, while `context` lives, once what has been asked so far and what it led to
    // is answered, or after a second at most: at start, so that the first look sees the
    // connections that are up, and nothing waits for it meanwhile.
    void WhenAnswered(QObject* context, std::function<void()> answered);

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
    // Nothing asked is left unanswered.
    void Answered();
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
    // `asked`: how many of the owner's signals had been heard when the question was asked.
    using Reading = std::function<void(const QDBusMessage& reply, std::uint64_t asked)>;

    void SetOwner(const QString& owner);
    void ReadAll();
    void ListProfiles();
    void Ask(const QDBusMessage& call, Answer answer);
    // A method of the owner's; `answer` sees only replies.
    void Read(const QString& path, const QString& iface, const QString& method,
              const QVariantList& arguments, Reading answer);
    // A signal of the owner's has said these properties of the object (or, for lists and
    // settings that signals only announce, that they have changed).
    void Heard(const QString& path, const QString& iface, const QStringList& properties);
    bool SaidSince(const QString& path, const QString& iface, const QString& property,
                   std::uint64_t asked) const;
    // An answer's properties without those a signal has said since it was asked.
    QVariantMap Unsaid(const QString& path, const QString& iface, QVariantMap properties,
                       std::uint64_t asked) const;
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
    std::uint64_t heard_ = 0;
    // By object path and "interface.property", the number of the last signal that said it; kept
    // only while some question is in flight.
    std::map<std::pair<QString, QString>, std::uint64_t> said_;
    QTimer retry_;
};

} // namespace platform::nm
