#pragma once

#include "platform/desktop/Tray.h"

#include <QSystemTrayIcon>

namespace platform {

// What the toolkit reports for a click on the icon, as the mouse message the window expects.
// An XEmbed tray reports a double-click as Trigger then DoubleClick; a StatusNotifierItem host
// never reports a double-click and sends its activation as Trigger, which stands in for it there.
TrayMouse TrayMouseMessage(QSystemTrayIcon::ActivationReason reason, TrayHost host);

} // namespace platform
