#pragma once

#include "platform/Tray.h"

#include <QMenu>
#include <QRect>
#include <QSystemTrayIcon>
#include <memory>

namespace platform {

// The tray through the toolkit's system tray icon; the icons come from the program's resources.
class SystemTray : public Tray {
public:
    SystemTray();

    bool Available() const override;
    TrayHost Host() const override { return host_; }
    void Add(const QString& iconName, const QString& tip) override;
    void Modify(const QString& iconName, const QString& tip) override;
    void Delete() override;
    void ExportMenu(QMenu* menu) override;
    void OnActivated(QObject* receiver, std::function<void(TrayMouse)> handler) override;
    void Beep() override;

    // Where the host shows the icon, in screen coordinates; empty while it shows none.
    QRect Geometry() const { return icon_.geometry(); }

private:
    // Asked before the icon exists: the toolkit asks the same question when it is made.
    const TrayHost host_;
    // What a StatusNotifierItem host shows; outlives the icon, which refers to it to the end.
    std::unique_ptr<QMenu> exported_;
    QSystemTrayIcon icon_;
};

} // namespace platform
