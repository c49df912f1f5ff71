#include "platform/RecordingTray.h"

namespace test {

void RecordingTray::Click(platform::TrayMouse mouse)
{
    if (receiver_)
        handler_(mouse);
}

void RecordingTray::Add(const QString& iconName, const QString& tip)
{
    calls << "add " + iconName + "|" + tip;
}

void RecordingTray::Modify(const QString& iconName, const QString& tip)
{
    calls << "modify " + iconName + "|" + tip;
}

void RecordingTray::OnActivated(QObject* receiver, std::function<void(platform::TrayMouse)> handler)
{
    receiver_ = receiver;
    handler_ = std::move(handler);
}

} // namespace test
