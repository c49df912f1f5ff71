#include "platform/desktop/DesktopNotifications.h"

#include <QDBusPendingCallWatcher>

namespace platform {

namespace {

const QString Service = "org.freedesktop.Notifications";

// The name the desktop entry and the icons are installed under: the service shows the program's
// icon and may group the notices under its entry.
const QString ApplicationId = "org.quillmar.Quillmar";

// Every notice stands on its own: none replaces another, none offers actions, and the service
// decides how long it shows.
constexpr uint ReplacesNone = 0;
constexpr int DefaultExpiry = -1;

} // namespace

void DesktopNotifications::Notify(const QString& text, QObject* context,
                                  std::function<void()> failed)
{
    // A bus that was never there gives no answer at all.
    if (!bus_.isConnected())
        return failed();
    QDBusMessage call = QDBusMessage::createMethodCall(Service, "/org/freedesktop/Notifications",
                                                       Service, "Notify");
    call << "Quillmar" << ReplacesNone << ApplicationId << "Quillmar" << text << QStringList()
         << QVariantMap{{"desktop-entry", ApplicationId}} << DefaultExpiry;
    auto* answer = new QDBusPendingCallWatcher(bus_.asyncCall(call), context);
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, context,
                     [answer, failed = std::move(failed)] {
                         answer->deleteLater();
                         if (answer->isError())
                             failed();
                     });
}

} // namespace platform
