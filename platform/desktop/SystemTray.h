#pragma once

#include "platform/desktop/Tray.h"

#include <QHash>
#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QRect>
#include <QSystemTrayIcon>
#include <memory>
#include <optional>

namespace platform {

// The tray through the toolkit's system tray icon; the icons come from the program's resources.
class SystemTray : public Tray {
public:
    SystemTray();

    bool Available() const override;
    std::optional<TrayHost> Host() const override { return host_; }
    void Add(const QString& iconName, const QString& tip) override;
    void ModifyIcon(const QString& iconName) override;
    void ModifyTip(const QString& tip) override;
    void Delete() override;
    void ExportMenu(QMenu* menu) override;
    void OnActivated(QObject* receiver, std::function<void(TrayMouse)> handler) override;
    void Beep() override;

    // Where the host shows the icon, in screen coordinates; empty while it shows none.
    QRect Geometry() const { return icon_.geometry(); }

private:
    // Asks the session bus's watcher whether a StatusNotifierItem host is registered, as the
    // toolkit does when it makes the icon; the answer comes on the event loop.
    void AskTrayHost();
    void SetHost(TrayHost host);
    // Hands the menu last asked for to the tray, in the way its host needs.
    void ShowMenu();

    std::optional<TrayHost> host_;
    QPointer<QMenu> menu_;
    // Each icon made once: the toolkit renders an icon once for each size and keeps the pixmaps
    // with it, where a new one would be read and rendered from its SVG again.
    QHash<QString, QIcon> icons_;
    // What a StatusNotifierItem host shows; outlives the icon, which refers to it to the end.
    std::unique_ptr<QMenu> exported_;
    QSystemTrayIcon icon_;
};

} // namespace platform
