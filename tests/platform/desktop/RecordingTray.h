#pragma once

#include "platform/desktop/Tray.h"

#include <QStringList>

namespace test {

// A tray that records what the window asks of it; clicks and menus are the real tray tests'.
class RecordingTray final : public platform::Tray {
public:
    bool available = true;
    QStringList calls; // "add Z_GREENOFF|Quillmar (0%)", "icon Z_GREENON", "tip ...", "delete"

    bool Available() const override { return available; }
    std::optional<platform::TrayHost> Host() const override { return platform::TrayHost::XEmbed; }
    void Add(const QString& i, const QString& tip) override { calls << "add " + i + "|" + tip; }
    void ModifyIcon(const QString& icon) override { calls << "icon " + icon; }
    void ModifyTip(const QString& tip) override { calls << "tip " + tip; }
    void Delete() override { calls << "delete"; }
    void ExportMenu(QMenu*) override {}
    void OnActivated(QObject*, std::function<void(platform::TrayMouse)>) override {}
    void Beep() override {}
};

} // namespace test
