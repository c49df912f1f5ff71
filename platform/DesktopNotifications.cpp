#include "platform/DesktopNotifications.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace platform {

namespace {

const QString Service = "org.freedesktop.Notifications";
const QString Path = "/org/freedesktop/Notifications";

// The name the desktop entry and the icons are installed under: the service shows the program's
// icon and may group the notices under its entry.
const QString ApplicationId = "org.quillmar.Quillmar";

// Every notice stands on its own: none replaces another, none offers actions, and the service
// decides how long it shows.
constexpr uint ReplacesNone = 0;
constexpr int DefaultExpiry = -1;

} // namespace

DesktopNotifications::DesktopNotifications(const QDBusConnection& bus)
    : bus_(bus), serviceWatcher_(Service, bus, QDBusServiceWatcher::WatchForUnregistration)
{
    // From whichever sender: naming the service would have the toolkit ask the bus for its owner
    // there and then, and wait for the answer.
    bus_.connect(QString(), Path, Service, "NotificationClosed", this,
                 SLOT(NotificationClosed(uint, uint)));
    connect(&serviceWatcher_, &QDBusServiceWatcher::serviceUnregistered, this,
            &DesktopNotifications::ServiceGone);
}

void DesktopNotifications::Notify(const QString& text, QObject* context,
                                  std::function<void()> failed, std::function<void()> closed)
{
    // A bus that was never there answers no call at all.
    if (!bus_.isConnected())
        return failed();
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, "Notify");
    call << "Quillmar" << ReplacesNone << ApplicationId << "Quillmar" << text << QStringList()
         << QVariantMap{{"desktop-entry", ApplicationId}} << DefaultExpiry;
    auto* answer = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(answer, &QDBusPendingCallWatcher::finished, context,
            [this, answer, context, failed = std::move(failed), closed = std::move(closed)] {
                answer->deleteLater();
                const QDBusPendingReply<uint> reply = *answer;
                if (reply.isError())
                    failed();
                else if (closed)
                    shown_.push_back({reply.value(), context, closed});
            });
}

void DesktopNotifications::NotificationClosed(uint id, uint /*reason*/)
{
    const auto gone = std::ranges::find(shown_, id, &Shown::id);
    if (gone == shown_.end())
        return;
    const Shown notice = std::move(*gone);
    shown_.erase(gone);
    if (notice.context)
        notice.closed();
}

// A service that ends takes its notices with it, without a word about each.
void DesktopNotifications::ServiceGone()
{
    for (const Shown& notice : std::exchange(shown_, {}))
        if (notice.context)
            notice.closed();
}

} // namespace platform
