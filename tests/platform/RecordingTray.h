#pragma once

#include "platform/Tray.h"

#include <QMenu>
#include <QPointer>
#include <QStringList>

namespace test {

// A tray that records what the window asks of it and lets tests click on the icon.
class RecordingTray final : public platform::Tray {
public:
    bool available = true;
    QStringList calls; // "add Z_GREENOFF|Quillmar (0%)", "modify ...", "delete"
    QPointer<QMenu> menu;
    int beeps = 0;

    void Click(platform::TrayMouse mouse) { receiver_ ? handler_(mouse) : void(); }
    bool Available() const override { return available; }
    platform::TrayHost Host() const override { return platform::TrayHost::XEmbed; }
    void Add(const QString& i, const QString& tip) override { calls << "add " + i + "|" + tip; }
    void Modify(const QString& i, const QString& t) override { calls << "modify " + i + "|" + t; }
    void Delete() override { calls << "delete"; }
    void ExportMenu(QMenu* exported) override { menu = exported; }
    void OnActivated(QObject* receiver, std::function<void(platform::TrayMouse)> handler) override
    {
        receiver_ = receiver;
        handler_ = std::move(handler);
    }
    void Beep() override { ++beeps; }

private:
    QPointer<QObject> receiver_;
    std::function<void(platform::TrayMouse)> handler_;
};

} // namespace test
