#include "platform/SystemTray.h"

#include "platform/TrayActivation.h"

#include <QApplication>
#include <QDBusInterface>

namespace platform {

namespace {

// A StatusNotifierItem host registers with the watcher on the session bus; without one the
// toolkit falls back to an XEmbed tray.
TrayHost AskTrayHost()
{
    QDBusInterface watcher("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                           "org.kde.StatusNotifierWatcher");
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool()
               ? TrayHost::StatusNotifierItem
               : TrayHost::XEmbed;
}

QIcon TrayIcon(const QString& name)
{
    return QIcon(":/tray/" + name + ".svg");
}

} // namespace

SystemTray::SystemTray() : host_(AskTrayHost()) {}

bool SystemTray::Available() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTray::Add(const QString& iconName, const QString& tip)
{
    Modify(iconName, tip);
    icon_.show();
}

void SystemTray::Modify(const QString& iconName, const QString& tip)
{
    icon_.setIcon(TrayIcon(iconName));
    icon_.setToolTip(tip);
}

void SystemTray::Delete()
{
    icon_.hide();
}

void SystemTray::ExportMenu(QMenu* menu)
{
    if (host_ == TrayHost::XEmbed) {
        icon_.setContextMenu(menu);
        return;
    }
    // A StatusNotifierItem host keeps the last menu it was given, and the toolkit fails on a menu
    // exported a second time: every change exports a new menu, with `menu`'s actions or empty.
    auto exported = std::make_unique<QMenu>();
    if (menu)
        exported->addActions(menu->actions());
    icon_.setContextMenu(exported.get());
    exported_ = std::move(exported);
}

void SystemTray::OnActivated(QObject* receiver, std::function<void(TrayMouse)> handler)
{
    QObject::connect(&icon_, &QSystemTrayIcon::activated, receiver,
                     [this, handler](QSystemTrayIcon::ActivationReason reason) {
                         handler(TrayMouseMessage(reason, host_));
                     });
}

void SystemTray::Beep()
{
    QApplication::beep();
}

} // namespace platform
