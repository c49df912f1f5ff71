#include "app/MainWindowFixture.h"
#include "platform/SystemTray.h"
#include "platform/TrayActivation.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

using TrayIcon = test::MainWindowFixture;
using platform::TrayMouse;

namespace {

void Minimise(QWidget& window)
{
    window.showMinimized();
    QCoreApplication::processEvents(); // the queued hiding
}

} // namespace

// The row comes from the line, the column from the limit share; the tray is touched only when
// the share or the icon changed.
TEST_F(TrayIcon, RowFromTheLineColumnFromTheShareAndTouchedOnlyOnChange)
{
    const auto icons = [this] {
        QStringList names;
        for (const std::int32_t share : {69, 70, 89, 90, 250})
            names << form->ChooseTrayIcon(share);
        return names.join(' ');
    };
    settings->TrafficLimit.Set(1); // 10,000 bytes a per cent
    settings->OnLimitShowMessage.Set(0);
    StartWindow();
    EXPECT_EQ(icons(), "Z_GREENOFF Z_YELLOWOFF Z_YELLOWOFF Z_REDOFF Z_REDOFF");
    ConnectLine();
    Tick(2);
    EXPECT_EQ(icons(), "Z_GREENON Z_YELLOWON Z_YELLOWON Z_REDON Z_REDON");
    SetLineCounters(15000, 0, 2000);
    Tick(2);
    SetLineCounters(700000, 0, 3000);
    Tick();
    form->TrayIconDelete();
    EXPECT_EQ(tray.calls,
              QStringList({"add Z_GREENOFF|Quillmar (0%)", "modify Z_GREENON|Quillmar (0%)",
                           "modify Z_GREENON|Quillmar (1%)", "modify Z_YELLOWON|Quillmar (70%)",
                           "delete"}));
    form.reset();
    settings->KeepConnected.Set(1);
    StartWindow();
    EXPECT_EQ(icons(), "Z_GREENKEEP Z_YELLOWKEEP Z_YELLOWKEEP Z_REDKEEP Z_REDKEEP");
    ras.dial = [](const char*, std::uint32_t& error) { return error = 678, false; };
    DropLine();
    Tick(); // the redial is pending, but the line is down
    EXPECT_TRUE(icons().startsWith("Z_GREENOFF "));
}

// Shown, the window only beeps; hidden in the tray, a double-click brings it back and the right
// button finds pmTray exported for the tray to open. Without a tray (the offscreen platform has
// no notification area), minimising only minimises.
TEST_F(TrayIcon, ClicksBeepWhileShownAndBringTheHiddenWindowBack)
{
    const std::tuple<bool, TrayMouse, int, bool> rows[] = {
        {false, TrayMouse::LeftDoubleClick, 1, true}, {false, TrayMouse::RightButtonUp, 1, true},
        {false, TrayMouse::Other, 0, true},           {true, TrayMouse::LeftDoubleClick, 0, true},
        {true, TrayMouse::RightButtonUp, 0, false},   {true, TrayMouse::Other, 0, false}};
    StartWindow();
    EXPECT_EQ(tray.menu, form->pmTray); // not shown yet
    for (const auto& [hidden, mouse, beeps, shownAfter] : rows) {
        SCOPED_TRACE(testing::Message() << hidden << " " << static_cast<int>(mouse));
        form->pmTray->defaultAction()->trigger(); // "Show"
        if (hidden)
            Minimise(*form);
        tray.beeps = 0;
        tray.Click(mouse);
        EXPECT_EQ(tray.beeps, beeps);
        EXPECT_EQ(form->isVisible() && !form->isMinimized(), shownAfter);
        EXPECT_EQ(tray.menu, shownAfter ? nullptr : form->pmTray);
    }
    platform::SystemTray none;
    form = std::make_unique<TFormMain>(Services(none));
    form->show();
    Minimise(*form);
    EXPECT_TRUE(form->isVisible() && form->isMinimized());
}

TEST(TrayActivation, EachHostsDoubleClickAndRightButton)
{
    using platform::TrayHost;
    const std::tuple<QSystemTrayIcon::ActivationReason, TrayMouse, TrayMouse> rows[] = {
        {QSystemTrayIcon::Trigger, TrayMouse::Other, TrayMouse::LeftDoubleClick},
        {QSystemTrayIcon::DoubleClick, TrayMouse::LeftDoubleClick, TrayMouse::Other},
        {QSystemTrayIcon::Context, TrayMouse::RightButtonUp, TrayMouse::RightButtonUp},
        {QSystemTrayIcon::MiddleClick, TrayMouse::Other, TrayMouse::Other}};
    for (const auto& [reason, xembed, statusNotifierItem] : rows)
        EXPECT_EQ(std::pair(platform::TrayMouseMessage(reason, TrayHost::XEmbed),
                            platform::TrayMouseMessage(reason, TrayHost::StatusNotifierItem)),
                  std::pair(xembed, statusNotifierItem))
            << reason;
}
