#pragma once

#include "platform/NetworkManagerRules.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <vector>

// NetworkManager's D-Bus names, and the blocking calls the link service makes. Each call goes to
// the bus name given (NetworkManager's unique name where handles are concerned), gives up after a
// second and a half and answers 0 or an errno.
namespace platform::nm {

inline const QString Service = "org.freedesktop.NetworkManager";
inline const QString ManagerPath = "/org/freedesktop/NetworkManager";
inline const QString ManagerIface = Service;
inline const QString SettingsPath = "/org/freedesktop/NetworkManager/Settings";
inline const QString SettingsIface = "org.freedesktop.NetworkManager.Settings";
inline const QString ProfileIface = "org.freedesktop.NetworkManager.Settings.Connection";
inline const QString ActiveIface = "org.freedesktop.NetworkManager.Connection.Active";
inline const QString DeviceIface = "org.freedesktop.NetworkManager.Device";
inline const QString StatisticsIface = "org.freedesktop.NetworkManager.Device.Statistics";
inline const QString PropertiesIface = "org.freedesktop.DBus.Properties";

QDBusMessage MethodCall(const QString& to, const QString& path, const QString& iface,
                        const QString& method, const QVariantList& arguments);
QDBusMessage Call(const QDBusConnection& bus, const QString& to, const QString& path,
                  const QString& iface, const QString& method, const QVariantList& arguments = {});
// 0 for a reply, the errno standing for an error.
std::uint32_t ErrorOf(const QDBusMessage& reply);
std::uint32_t Get(const QDBusConnection& bus, const QString& to, const QString& path,
                  const QString& iface, const QString& name, QVariant& value);
std::uint32_t GetAll(const QDBusConnection& bus, const QString& to, const QString& path,
                     const QString& iface, QVariantMap& properties);
// The unique bus name of the running NetworkManager.
std::uint32_t NameOwner(const QDBusConnection& bus, QString& owner);

struct ActiveConnection {
    QString path;
    QVariantMap properties;
};

// Activating or activated.
bool IsUp(const QVariantMap& active);
// One that ends between the list and its properties is left out: it is gone.
std::uint32_t ReadActive(const QDBusConnection& bus, const QString& owner,
                         std::vector<ActiveConnection>& active);
// Every profile in NetworkManager's order, and its object path.
std::uint32_t ReadProfiles(const QDBusConnection& bus, const QString& owner,
                           std::vector<Profile>& profiles, std::vector<QString>& paths);
std::uint32_t Deactivate(const QDBusConnection& bus, const QString& owner, const QString& active);

} // namespace platform::nm
