#include "platform/NetworkManagerBus.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace platform::nm {

namespace {

constexpr int CallTimeoutMs = 1500;

} // namespace

QDBusMessage MethodCall(const QString& to, const QString& path, const QString& iface,
                        const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(to, path, iface, method);
    message.setArguments(arguments);
    return message;
}

QDBusMessage Call(const QDBusConnection& bus, const QString& to, const QString& path,
                  const QString& iface, const QString& method, const QVariantList& arguments)
{
    return bus.call(MethodCall(to, path, iface, method, arguments), QDBus::Block, CallTimeoutMs);
}

std::uint32_t ErrorOf(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ReplyMessage ? 0
                                                      : ErrorCode(reply.errorName().toStdString());
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

std::uint32_t NameOwner(const QDBusConnection& bus, QString& owner)
{
    const QDBusMessage reply = Call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                    "org.freedesktop.DBus", "GetNameOwner", {Service});
    if (const std::uint32_t error = ErrorOf(reply))
        return error;
    owner = reply.arguments().value(0).toString();
    return 0;
}

bool IsUp(const QVariantMap& active)
{
    const std::uint32_t state = active.value("State").toUInt();
    return state == nm::ActiveActivating || state == nm::ActiveActivated;
}

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
                           std::vector<Profile>& profiles, std::vector<QString>& paths)
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

} // namespace platform::nm
