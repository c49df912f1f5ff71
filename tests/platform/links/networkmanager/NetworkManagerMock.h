#pragma once

#include "platform/DBusMock.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace test {

// python3-dbusmock's NetworkManager, with the project's additions (nm_template.py), on a private
// bus of the test's own: Bus() is what the link service is handed, and the methods below script
// NetworkManager as a user or another program would.
class NetworkManagerMock : public DBusMock {
public:
    static constexpr std::uint32_t Activated = 2, Deactivated = 4;
    static inline const QString Service = "org.freedesktop.NetworkManager";
    static inline const QString ManagerPath = "/org/freedesktop/NetworkManager";

    NetworkManagerMock()
        : DBusMock(Service, "DBUS_SYSTEM_BUS_ADDRESS",
                   {"--system", "--template", QUILLMAR_NM_TEMPLATE})
    {
        qDBusRegisterMetaType<QMap<QString, QVariantMap>>();
    }

    // A method of the mock's control interface ("AddEthernetDevice", "SetProperty"…).
    QVariant Mock(const QString& method, const QVariantList& arguments,
                  const QString& path = ManagerPath) const
    {
        return Call(path, "org.freedesktop.DBus.Mock", method, arguments);
    }
    QVariant Property(const QString& path, const QString& iface, const QString& name) const
    {
        return Call(path, "org.freedesktop.DBus.Properties", "Get", {iface, name})
            .value<QDBusVariant>()
            .variant();
    }
    static QVariant Path(const QString& path) { return QVariant::fromValue(QDBusObjectPath(path)); }
    static QVariant Variant(const QVariant& v) { return QVariant::fromValue(QDBusVariant(v)); }
    // A profile from its "connection" settings (id, type, `more`) and flags; returns its path.
    QString AddProfile(const QString& id, const QString& type, std::uint32_t flags = 0,
                       QVariantMap more = {}) const
    {
        more.insert({{"id", id}, {"type", type}});
        const QMap<QString, QVariantMap> settings{{"connection", more}};
        const QString path = Call(ManagerPath + "/Settings", Service + ".Settings", "AddConnection",
                                  {QVariant::fromValue(settings)})
                                 .value<QDBusObjectPath>()
                                 .path();
        if (flags != 0)
            Mock("AddProperty", {Service + ".Settings.Connection", "Flags", Variant(flags)}, path);
        return path;
    }
    // Moves the profile's active connection on, with the reason NetworkManager would give.
    void SetState(const QString& profile, std::uint32_t state, std::uint32_t reason = 0) const
    {
        Mock("SetProfileState", {Path(profile), state, reason}, "/org/freedesktop");
    }
    QList<QDBusObjectPath> ActiveConnections() const
    {
        return qdbus_cast<QList<QDBusObjectPath>>(
            Property(ManagerPath, Service, "ActiveConnections"));
    }
    // How often the program (or the test) called a method of the manager.
    int ManagerCalls(const QString& method) const
    {
        const auto calls = Mock("GetMethodCalls", {method}).value<QDBusArgument>();
        int count = 0;
        for (calls.beginArray(); !calls.atEnd(); ++count)
            calls.asVariant();
        calls.endArray(); // the reader of a level lives until its end
        return count;
    }
};

} // namespace test
