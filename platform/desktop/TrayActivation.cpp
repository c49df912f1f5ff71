#include "platform/desktop/TrayActivation.h"

namespace platform {

TrayMouse TrayMouseMessage(QSystemTrayIcon::ActivationReason reason, TrayHost host)
{
    const QSystemTrayIcon::ActivationReason doubleClick = host == TrayHost::StatusNotifierItem
                                                              ? QSystemTrayIcon::Trigger
                                                              : QSystemTrayIcon::DoubleClick;
    if (reason == doubleClick)
        return TrayMouse::LeftDoubleClick;
    if (reason == QSystemTrayIcon::Context)
        return TrayMouse::RightButtonUp;
    return TrayMouse::Other;
}

} // namespace platform
