#include "platform/links/networkmanager/NetworkManagerBus.h"

#include "platform/links/networkmanager/NetworkManagerRules.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>

namespace platform::nm {

namespace {

constexpr int DeactivateTimeoutMs = 1500;

QDBusMessage DeactivateCall(const QString& owner, const QString& active)
{
    return MethodCall(owner, ManagerPath, ManagerIface, "DeactivateConnection",
                      {QVariant::fromValue(QDBusObjectPath(active))});
}

} // namespace

QDBusMessage MethodCall(const QString& to, const QString& path, const QString& iface,
                        const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(to, path, iface, method);
    message.setArguments(arguments);
    return message;
}

std::uint32_t ErrorOf(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ReplyMessage ? 0
                                                      : ErrorCode(reply.errorName().toStdString());
}

void Deactivate(const QDBusConnection& bus, const QString& owner, const QString& active,
                QObject& parent, std::function<void(std::uint32_t)> answered)
{
    auto* answer = new QDBusPendingCallWatcher(
        bus.asyncCall(DeactivateCall(owner, active), DeactivateTimeoutMs), &parent);
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, answer,
                     [answered = std::move(answered)](QDBusPendingCallWatcher* call) {
                         call->deleteLater();
                         answered(ErrorOf(call->reply()));
                     });
}

void SendDeactivate(const QDBusConnection& bus, const QString& owner, const QString& active)
{
    bus.send(DeactivateCall(owner, active));
}

} // namespace platform::nm
