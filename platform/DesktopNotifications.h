#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

namespace platform {

// Notices as desktop notifications through org.freedesktop.Notifications on the bus given. Nothing
// here waits: each notice is sent and its answer handled when it arrives.
class DesktopNotifications : public QObject {
    Q_OBJECT

public:
    explicit DesktopNotifications(const QDBusConnection& bus);

    // Sends `text` and returns at once. `failed` runs when no service took it (none on the bus, or
    // its answer is an error), `closed` when the service reports it gone or leaves the bus; neither
    // runs once `context` is destroyed.
    void Notify(const QString& text, QObject* context, std::function<void()> failed,
                std::function<void()> closed = {});

private slots:
    void NotificationClosed(uint id, uint reason);

private:
    struct Shown {
        uint id;
        QPointer<QObject> context;
        std::function<void()> closed;
    };
    void ServiceGone();

    QDBusConnection bus_;
    QDBusServiceWatcher serviceWatcher_;
    std::vector<Shown> shown_;
};

} // namespace platform
