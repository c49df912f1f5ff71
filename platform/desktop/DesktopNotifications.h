#pragma once

#include <QDBusConnection>
#include <functional>

class QObject;

namespace platform {

// Notices as desktop notifications through org.freedesktop.Notifications on the bus given. Nothing
// here waits: a notice is sent and the answer handled when it arrives.
class DesktopNotifications {
public:
    explicit DesktopNotifications(const QDBusConnection& bus) : bus_(bus) {}

    // Sends `text` and returns at once. `failed` runs when no service took it (no bus, nobody on
    // the bus for the name, or an error for an answer), at once or later; not once `context` is
    // gone.
    void Notify(const QString& text, QObject* context, std::function<void()> failed);

private:
    QDBusConnection bus_;
};

} // namespace platform
