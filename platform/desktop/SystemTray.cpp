#include "platform/desktop/SystemTray.h"

#include "platform/desktop/TrayActivation.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace platform {

namespace {

// A StatusNotifierItem host registers with this watcher on the session bus; without one the
// toolkit falls back to an XEmbed tray.
constexpr const char* Watcher = "org.kde.StatusNotifierWatcher";

} // namespace

SystemTray::SystemTray()
{
    AskTrayHost();
}

// Not through QDBusInterface, whose construction asks the watcher to describe itself and waits
// for the answer on the window's thread.
void SystemTray::AskTrayHost()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) // a bus that was never there gives no answer at all
        return SetHost(TrayHost::XEmbed);
    QDBusMessage get = QDBusMessage::createMethodCall(Watcher, "/StatusNotifierWatcher",
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << Watcher << "IsStatusNotifierHostRegistered";
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(get), &icon_);
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, &icon_, [this, answer] {
        answer->deleteLater();
        const QDBusPendingReply<QDBusVariant> registered = *answer;
        SetHost(registered.isValid() && registered.value().variant().toBool()
                    ? TrayHost::StatusNotifierItem
                    : TrayHost::XEmbed);
    });
}

void SystemTray::SetHost(TrayHost host)
{
    host_ = host;
    ShowMenu();
}

bool SystemTray::Available() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTray::Add(const QString& iconName, const QString& tip)
{
    ModifyIcon(iconName);
    ModifyTip(tip);
    icon_.show();
}

void SystemTray::ModifyIcon(const QString& iconName)
{
    auto made = icons_.find(iconName);
    if (made == icons_.end())
        made = icons_.insert(iconName, QIcon(":/tray/" + iconName + ".svg"));
    icon_.setIcon(*made);
}

void SystemTray::ModifyTip(const QString& tip)
{
    icon_.setToolTip(tip);
}

void SystemTray::Delete()
{
    icon_.hide();
}

void SystemTray::ExportMenu(QMenu* menu)
{
    menu_ = menu;
    if (host_) // otherwise once the watcher has answered
        ShowMenu();
}

void SystemTray::ShowMenu()
{
    if (host_ == TrayHost::XEmbed) {
        icon_.setContextMenu(menu_);
        return;
    }
    // A StatusNotifierItem host keeps the last menu it was given, and the toolkit fails on a menu
    // exported a second time: every change exports a new menu, with `menu_`'s actions or empty.
    auto exported = std::make_unique<QMenu>();
    if (menu_)
        exported->addActions(menu_->actions());
    icon_.setContextMenu(exported.get());
    exported_ = std::move(exported);
}

void SystemTray::OnActivated(QObject* receiver, std::function<void(TrayMouse)> handler)
{
    // An item host learns of the icon only after the watcher has answered us: until then clicks
    // come from an XEmbed tray.
    QObject::connect(&icon_, &QSystemTrayIcon::activated, receiver,
                     [this, handler](QSystemTrayIcon::ActivationReason reason) {
                         handler(TrayMouseMessage(reason, host_.value_or(TrayHost::XEmbed)));
                     });
}

void SystemTray::Beep()
{
    QApplication::beep();
}

} // namespace platform
