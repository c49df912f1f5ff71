// The tray against real hosts, each test in a process of its own on an Xvfb and a session bus of
// its own (on-own-display; the toolkit picks the host once per process, at the first icon):
// trayer (XEmbed) clicked with xdotool, and a StatusNotifierItem host played by the test. Run
// each test alone, as CTest does: a second one in the same process would find the first host.
#include "app/MainWindowFixture.h"
#include "platform/desktop/SystemTray.h"

#include <QProcess>
#include <QStyleHints>
#include <QTest>
#include <QtDBus>
#include <gtest/gtest.h>

namespace {

using platform::TrayHost;
using enum platform::TrayMouse;

// How long a host, the X server and xdotool may take on a loaded machine.
constexpr int Patience = 30'000;

// The real tray, with the mouse messages it delivers and the beeps counted.
class ObservedTray final : public platform::SystemTray {
public:
    std::vector<platform::TrayMouse> seen;
    int beeps = 0;

    void OnActivated(QObject* receiver, std::function<void(platform::TrayMouse)> handler) override
    {
        SystemTray::OnActivated(receiver, [this, handler](platform::TrayMouse mouse) {
            seen.push_back(mouse);
            handler(mouse);
        });
    }
    void Beep() override { ++beeps; }
};

// The window, hidden as at a minimised start, on the tray of a host started for the test.
class RealTray : public test::MainWindowFixture {
protected:
    ~RealTray() override { form.reset(), tray.reset(), host.terminate(), host.waitForFinished(); }
    void StartWindow(TrayHost kind, const QString& program, const QStringList& arguments,
                     const std::function<bool()>& hostUp)
    {
        host.start(program, arguments);
        ASSERT_TRUE(QTest::qWaitFor(hostUp, Patience));
        tray.emplace();
        ASSERT_TRUE(QTest::qWaitFor([&] { return tray->Host() == kind; }, Patience));
        trayInUse = &*tray;
        MainWindowFixture::StartWindow();
    }

    QProcess host;
    std::optional<ObservedTray> tray;
};

// A single click does nothing; the right button opens the tray menu only while hidden; a
// double-click (a trigger, then the double-click) shows the hidden window, and on the shown one,
// like the right button, only beeps.
TEST_F(RealTray, XEmbedClicksOnTheIconOfTheHiddenAndOfTheShownWindow)
{
    // Clicks on the icon, or elsewhere, and waits for `reports` mouse messages in all and the
    // tray menu `menu` (shown or not). Two presses of one button on one spot make a double-click,
    // so every click changes the button or the spot.
    const auto Click = [&](int button, std::size_t reports, bool menu, int repeat = 1,
                           bool onIcon = true) {
        const QPoint at = onIcon ? tray->Geometry().center() : QPoint(300, 300);
        QProcess::execute("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()),
                                      "click", "--repeat", QString::number(repeat), "--delay", "60",
                                      QString::number(button)});
        return QTest::qWaitFor([&] { return tray->seen.size() == reports; }, Patience) &&
               QTest::qWaitFor([&] { return form->pmTray->isVisible() == menu; }, Patience);
    };
    // On a loaded machine xdotool may be kept from its second click for longer than a
    // double-click's usual interval; no two clicks in a row here have the same button and spot.
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(Patience);
    ASSERT_NO_FATAL_FAILURE(StartWindow(TrayHost::XEmbed, "trayer",
                                        {"--edge", "top", "--align", "right", "--widthtype",
                                         "request", "--height", "32", "--SetDockType", "false"},
                                        &QSystemTrayIcon::isSystemTrayAvailable));
    // Docked once trayer has taken the icon into its panel, away from the screen's corner.
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray->Geometry().x() > 0; }, Patience));
    ASSERT_TRUE(Click(1, 1, false));
    ASSERT_TRUE(Click(3, 2, true));
    ASSERT_TRUE(Click(1, 2, false, 1, false)); // elsewhere
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(Click(1, 4, false, 2));
    EXPECT_TRUE(form->isVisible() && !form->isMinimized());
    ASSERT_TRUE(Click(3, 5, false));
    ASSERT_TRUE(Click(1, 7, false, 2));
    EXPECT_EQ(tray->beeps, 2);
    EXPECT_EQ(tray->seen, (std::vector{Other, RightButtonUp, Other, LeftDoubleClick, RightButtonUp,
                                       Other, LeftDoubleClick}));
}

TEST_F(RealTray, StatusNotifierActivateIsTheDoubleClickAndTheHostDrawsTheMenuOnlyWhileHidden)
{
    // The watcher, played by a mock, says that a host is registered, so the toolkit shows its
    // icon as an item and the test plays the host.
    const QString watcher = "org.kde.StatusNotifierWatcher";
    ASSERT_NO_FATAL_FAILURE(StartWindow(
        TrayHost::StatusNotifierItem, "/usr/bin/python3",
        {"-m", "dbusmock", "--session", "--template", QUILLMAR_SNI_WATCHER}, [&] {
            return QDBusConnection::sessionBus().interface()->isServiceRegistered(watcher).value();
        }));
    QDBusInterface registry(watcher, "/StatusNotifierWatcher", watcher);
    QString item;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        item = registry.property("RegisteredStatusNotifierItems").toStringList().value(0);
        return !item.isEmpty();
    }));
    // Calls the item as a host does; the toolkit answers in this thread meanwhile.
    const auto Call = [&](const QString& path, const QString& method, const QVariantList& args) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            item, path,
            path == "/MenuBar" ? "com.canonical.dbusmenu" : "org.kde.StatusNotifierItem", method);
        call.setArguments(args);
        return QDBusConnection::sessionBus().call(call, QDBus::BlockWithGui);
    };
    // The labels of the menu a host would draw now, "-" for a separator; the first one's id.
    int firstId = 0;
    const auto MenuItems = [&] {
        const auto root = Call("/MenuBar", "GetLayout", {0, -1, QStringList()})
                              .arguments()
                              .value(1)
                              .value<QDBusArgument>();
        int id = 0;
        QVariantMap properties;
        QStringList items;
        root.beginStructure();
        root >> id >> properties;
        for (root.beginArray(); !root.atEnd();) {
            QDBusVariant child;
            root >> child;
            const auto entry = child.variant().value<QDBusArgument>();
            entry.beginStructure();
            entry >> id >> properties;
            entry.endStructure();
            firstId = items.isEmpty() ? id : firstId;
            items << (properties["type"] == "separator" ? "-" : properties["label"].toString());
        }
        // Each begin has its end: the reader of a level lives until then.
        root.endArray();
        root.endStructure();
        return items;
    };

    const QStringList trayMenu{"Show", "-",    "Connect", "Disconnect",
                               "-",    "Exit", "-",       "Usage History"};
    EXPECT_EQ(MenuItems(), trayMenu);
    const auto callItem = [&](const char* method) { Call("/StatusNotifierItem", method, {0, 0}); };
    callItem("Activate");
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(MenuItems(), QStringList());
    callItem("ContextMenu");
    callItem("Activate");
    EXPECT_EQ(tray->seen, (std::vector{LeftDoubleClick, RightButtonUp, LeftDoubleClick}));
    EXPECT_EQ(tray->beeps, 2);
    form->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }));
    EXPECT_EQ(MenuItems(), trayMenu);
    Call("/MenuBar", "Event",
         {firstId, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u}); // Show
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isMinimized());
}

} // namespace
