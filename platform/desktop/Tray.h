#pragma once

#include <QString>
#include <functional>
#include <optional>

class QMenu;
class QObject;

namespace platform {

// The mouse messages the window acts on; every other click, move or button is `Other`.
enum class TrayMouse { LeftDoubleClick, RightButtonUp, Other };

// Who draws the icon. Each kind reports clicks in its own way, and the toolkit picks one for the
// whole run when the first icon is made.
enum class TrayHost { XEmbed, StatusNotifierItem };

// The main window's one icon in the desktop's notification area.
class Tray {
public:
    Tray() = default;
    Tray(const Tray&) = delete;
    Tray& operator=(const Tray&) = delete;
    virtual ~Tray() = default;

    // False when the desktop shows no notification area at all, now.
    virtual bool Available() const = 0;
    // None until the desktop has answered which it is.
    virtual std::optional<TrayHost> Host() const = 0;

    // Shows the icon, found by resource name, with its tooltip.
    virtual void Add(const QString& iconName, const QString& tip) = 0;
    // Each sends the host what changed, so the caller passes only a change: a new icon costs
    // the host more than a new tooltip.
    virtual void ModifyIcon(const QString& iconName) = 0;
    virtual void ModifyTip(const QString& tip) = 0;
    virtual void Delete() = 0;
    // The menu the tray opens for the right button; nullptr opens none.
    virtual void ExportMenu(QMenu* menu) = 0;
    // Hands every mouse message over the icon to `handler`, for as long as `receiver` lives.
    virtual void OnActivated(QObject* receiver, std::function<void(TrayMouse)> handler) = 0;
    // The desktop's default sound, for a click that has nothing to do.
    virtual void Beep() = 0;
};

} // namespace platform
