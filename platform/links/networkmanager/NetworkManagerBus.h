#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariantList>
#include <cstdint>
#include <functional>

class QObject;

// NetworkManager's D-Bus names, and the calls to it that are not followed through its cache.
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
inline const QString BusService = "org.freedesktop.DBus";
inline const QString BusPath = "/org/freedesktop/DBus";

QDBusMessage MethodCall(const QString& to, const QString& path, const QString& iface,
                        const QString& method, const QVariantList& arguments = {});
// 0 for a reply, the errno standing for an error.
std::uint32_t ErrorOf(const QDBusMessage& reply);
// Deactivates the active connection at path `active` of NetworkManager `owner` (its unique bus
// name), and calls `answered` with the errno of its answer, ETIMEDOUT after a second and a half
// without one; never once `parent` has gone.
void Deactivate(const QDBusConnection& bus, const QString& owner, const QString& active,
                QObject& parent, std::function<void(std::uint32_t)> answered);
// The same, its answer left unheard.
void SendDeactivate(const QDBusConnection& bus, const QString& owner, const QString& active);

} // namespace platform::nm
