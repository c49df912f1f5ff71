#include "app/MainWindowFixture.h"
#include "platform/SystemTray.h"
#include "platform/TrayActivation.h"

#include <QAction>
#include <QCoreApplication>
#include <QIcon>
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

TEST_F(TrayIcon, RowFromTheLineAndItsRedialColumnFromTheLimitShare)
{
    const auto icons = [this] {
        QStringList names;
        for (const std::int32_t share : {69, 70, 89, 90, 250})
            names << form->ChooseTrayIcon(share);
        return names;
    };
    StartWindow();
    EXPECT_EQ(icons(),
              QStringList({"Z_GREENOFF", "Z_YELLOWOFF", "Z_YELLOWOFF", "Z_REDOFF", "Z_REDOFF"}));
    ConnectLine();
    Tick();
    EXPECT_EQ(icons(),
              QStringList({"Z_GREENON", "Z_YELLOWON", "Z_YELLOWON", "Z_REDON", "Z_REDON"}));
    form.reset();
    settings->KeepConnected.Set(1);
    StartWindow();
    EXPECT_EQ(icons(), QStringList({"Z_GREENKEEP", "Z_YELLOWKEEP", "Z_YELLOWKEEP", "Z_REDKEEP",
                                    "Z_REDKEEP"}));
    ras.dial = [](const char*, std::uint32_t& error) {
        error = 678;
        return false;
    };
    DropLine();
    Tick(); // the redial is pending, but the line is down
    EXPECT_TRUE(form->IsKeepingConnection());
    EXPECT_EQ(icons().first(), "Z_GREENOFF");
}

TEST_F(TrayIcon, TouchedOnlyWhenTheShareOrTheIconChanged)
{
    settings->TrafficLimit.Set(1); // 10,000 bytes a per cent
    settings->OnLimitShowMessage.Set(0);
    StartWindow();
    ConnectLine();
    Tick(2);
    SetLineCounters(15000, 0, 2000);
    Tick(2);
    SetLineCounters(700000, 0, 3000);
    Tick();
    form->TrayIconDelete();
    EXPECT_EQ(tray.calls,
              QStringList({"add Z_GREENOFF|Quillmar (0%)", "modify Z_GREENON|Quillmar (0%)",
                           "modify Z_GREENON|Quillmar (1%)", "modify Z_YELLOWON|Quillmar (70%)",
                           "delete"}));
}

// Shown, the window only beeps; hidden in the tray, a double-click brings it back and the right
// button finds pmTray exported for the tray to open.
TEST_F(TrayIcon, ClicksBeepWhileShownAndBringTheHiddenWindowBack)
{
    const struct {
        bool hidden;
        TrayMouse mouse;
        int beeps;
        bool shownAfter;
    } rows[] = {
        {false, TrayMouse::LeftDoubleClick, 1, true}, {false, TrayMouse::RightButtonUp, 1, true},
        {false, TrayMouse::Other, 0, true},           {true, TrayMouse::LeftDoubleClick, 0, true},
        {true, TrayMouse::RightButtonUp, 0, false},   {true, TrayMouse::Other, 0, false},
    };
    StartWindow();
    EXPECT_EQ(tray.menu, form->pmTray); // not shown yet
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.hidden << " " << static_cast<int>(row.mouse));
        form->showNormal();
        EXPECT_EQ(tray.menu, nullptr);
        if (row.hidden)
            Minimise(*form);
        EXPECT_EQ(form->isVisible(), !row.hidden);
        tray.beeps = 0;
        tray.Click(row.mouse);
        EXPECT_EQ(tray.beeps, row.beeps);
        EXPECT_EQ(form->isVisible(), row.shownAfter);
        EXPECT_EQ(form->isMinimized(), !row.shownAfter);
        EXPECT_EQ(tray.menu, row.shownAfter ? nullptr : form->pmTray);
    }
    form->pmTray->defaultAction()->trigger(); // "Show"
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isMinimized());
}

// The offscreen platform has no notification area, like a desktop without a tray host.
TEST_F(TrayIcon, WithoutATrayMinimisingOnlyMinimises)
{
    platform::SystemTray none;
    ASSERT_FALSE(none.Available());
    form = std::make_unique<TFormMain>(
        FormMainServices{*settings, ras, clock, *http, *sntp, pause, none});
    form->show();
    Minimise(*form);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->isMinimized());
    form.reset();
}

TEST(TrayActivation, EachHostsDoubleClickAndRightButton)
{
    using platform::TrayHost;
    const struct {
        QSystemTrayIcon::ActivationReason reason;
        TrayMouse xembed;
        TrayMouse statusNotifierItem;
    } rows[] = {
        {QSystemTrayIcon::Trigger, TrayMouse::Other, TrayMouse::LeftDoubleClick},
        {QSystemTrayIcon::DoubleClick, TrayMouse::LeftDoubleClick, TrayMouse::Other},
        {QSystemTrayIcon::Context, TrayMouse::RightButtonUp, TrayMouse::RightButtonUp},
        {QSystemTrayIcon::MiddleClick, TrayMouse::Other, TrayMouse::Other},
        {QSystemTrayIcon::Unknown, TrayMouse::Other, TrayMouse::Other},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(platform::TrayMouseMessage(row.reason, TrayHost::XEmbed), row.xembed)
            << row.reason;
        EXPECT_EQ(platform::TrayMouseMessage(row.reason, TrayHost::StatusNotifierItem),
                  row.statusNotifierItem)
            << row.reason;
    }
}

// The pictures match their names at every size a tray asks for: the lamp's colour by the column,
// bright or dark by the row, and the badge of the held line.
TEST(TrayIcons, EachIconShowsItsColumnAndRowAtEveryTraySize)
{
    const struct {
        const char* name;
        int hue;
        bool bright;
        bool badge;
    } icons[] = {
        {"Z_GREENON", 120, true, false},   {"Z_YELLOWON", 50, true, false},
        {"Z_REDON", 5, true, false},       {"Z_GREENKEEP", 120, true, true},
        {"Z_YELLOWKEEP", 50, true, true},  {"Z_REDKEEP", 5, true, true},
        {"Z_GREENOFF", 120, false, false}, {"Z_YELLOWOFF", 50, false, false},
        {"Z_REDOFF", 5, false, false},
    };
    for (const auto& icon : icons) {
        for (const int size : {16, 22, 24, 32, 44, 48, 64}) {
            SCOPED_TRACE(testing::Message() << icon.name << " at " << size);
            const QImage image =
                QIcon(QString(":/tray/%1.svg").arg(icon.name)).pixmap(size).toImage();
            ASSERT_EQ(image.size(), QSize(size, size));
            // Points on the 16-unit grid the icons are drawn on.
            const auto at = [&](double x, double y) {
                return image.pixelColor(int(x * size / 16), int(y * size / 16));
            };
            const QColor lamp = at(9.5, 9.5);
            EXPECT_NEAR(lamp.hsvHue(), icon.hue, 20);
            EXPECT_EQ(lamp.value() > 160, icon.bright) << lamp.value();
            EXPECT_EQ(at(13, 3).saturation() > 128, icon.badge);
            EXPECT_EQ(at(0.5, 0.5).alpha(), 0); // round: the corners are clear
        }
    }
}
