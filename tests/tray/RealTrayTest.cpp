// The tray against real hosts: trayer (XEmbed) clicked with xdotool, and a StatusNotifierItem
// host played by the test through a watcher of its own on the private session bus.
#include "TestEnvironment.h"
#include "app/Fmain.h"
#include "platform/FakeClock.h"
#include "platform/FakePause.h"
#include "platform/FakeRasApi.h"
#include "platform/FakeSystemTime.h"
#include "platform/HttpClient.h"
#include "platform/SntpClient.h"
#include "platform/SystemTray.h"
#include "settings/RegVars.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMenu>
#include <QMutex>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>
#include <optional>

namespace {

using platform::TrayHost;
using platform::TrayMouse;

// The real tray, with the mouse messages it delivers and the beeps counted.
class ObservedTray final : public platform::SystemTray {
public:
    std::vector<TrayMouse> seen;
    int beeps = 0;

    void OnActivated(QObject* receiver, std::function<void(TrayMouse)> handler) override
    {
        SystemTray::OnActivated(receiver, [this, handler](TrayMouse mouse) {
            seen.push_back(mouse);
            handler(mouse);
        });
    }
    void Beep() override { ++beeps; }
};

// The toolkit chooses the host once per process, at the first icon.
std::optional<TrayHost> chosenHost;
constexpr const char* SkipReason = "one tray host per process: run each test alone, as CTest does";

class RealTray : public ::testing::Test {
protected:
    static bool FirstHostOfProcess(TrayHost host)
    {
        if (chosenHost && *chosenHost != host)
            return false;
        chosenHost = host;
        return true;
    }

    // Makes the window, hidden as at a minimised start, once the host is up.
    void StartWindow(TrayHost host)
    {
        settings->Connection.Set("dsl");
        tray.emplace();
        ASSERT_EQ(tray->Host(), host);
        form = std::make_unique<TFormMain>(
            FormMainServices{*settings, ras, clock, http, sntp, pause, *tray});
        form->WatchTimer->stop();
    }

    // Waits until the window was minimised into the tray.
    bool Minimise()
    {
        form->showMinimized();
        return QTest::qWaitFor([&] { return !form->isVisible(); });
    }

    test::TempStore store;
    std::unique_ptr<CRegVars> settings = std::make_unique<CRegVars>(store.File());
    test::FakeRasApi ras;
    test::FakeClock clock;
    // No network command runs here: the clients point at closed ports.
    test::FakePause pause;
    test::FakeSystemTime systemTime;
    platform::HttpClient http{"https://127.0.0.1:9"};
    platform::SntpClient sntp{systemTime, 9};
    std::optional<ObservedTray> tray;
    std::unique_ptr<TFormMain> form;
};

class XEmbedTray : public RealTray {
protected:
    void SetUp() override
    {
        if (!FirstHostOfProcess(TrayHost::XEmbed))
            GTEST_SKIP() << SkipReason;
        trayer.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request",
                                "--height", "32", "--SetDockType", "false"});
        ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }));
        StartWindow(TrayHost::XEmbed);
        // Docked once trayer has taken the icon into its panel, away from the screen's corner.
        ASSERT_TRUE(QTest::qWaitFor([&] { return tray->Geometry().x() > 0; }));
    }

    void TearDown() override
    {
        trayer.terminate();
        trayer.waitForFinished();
    }

    // Clicks on the icon, or elsewhere, with the given button, and waits until the tray has
    // reported `reports` mouse messages in all.
    bool Click(int button, std::size_t reports, int repeat = 1, bool onIcon = true)
    {
        const QPoint at = onIcon ? tray->Geometry().center() : QPoint(300, 300);
        QProcess::execute("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()),
                                      "click", "--repeat", QString::number(repeat), "--delay", "60",
                                      QString::number(button)});
        return QTest::qWaitFor([&] { return tray->seen.size() == reports; });
    }

    QProcess trayer;
};

TEST_F(XEmbedTray, ADoubleClickShowsTheHiddenWindowAndShownItOnlyBeeps)
{
    ASSERT_TRUE(Click(1, 2, 2)); // Trigger, then DoubleClick
    EXPECT_EQ(tray->seen, (std::vector{TrayMouse::Other, TrayMouse::LeftDoubleClick}));
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isMinimized());
    ASSERT_TRUE(Click(1, 3)); // a single click
    EXPECT_EQ(tray->beeps, 0);
    ASSERT_TRUE(Click(3, 4));
    ASSERT_TRUE(Click(1, 6, 2));
    EXPECT_EQ(tray->beeps, 2);
    EXPECT_FALSE(form->pmTray->isVisible());
    EXPECT_TRUE(form->isVisible());
}

// Two presses of one button on one spot count as a double-click, so every test click changes
// the button or the spot.
TEST_F(XEmbedTray, TheRightButtonOpensTheTrayMenuOnlyWhileHidden)
{
    ASSERT_TRUE(Click(1, 1)); // a single click on the hidden window does nothing
    ASSERT_TRUE(Click(3, 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->pmTray->isVisible(); }));
    Click(1, 2, 1, false); // elsewhere
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->pmTray->isVisible(); }));
    EXPECT_FALSE(form->isVisible());
    form->miShowClick();
    ASSERT_TRUE(Click(3, 3));
    EXPECT_EQ(tray->beeps, 1);
    EXPECT_FALSE(form->pmTray->isVisible());
    ASSERT_TRUE(Minimise());
    ASSERT_TRUE(Click(1, 4));
    ASSERT_TRUE(Click(3, 5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->pmTray->isVisible(); }));
    EXPECT_EQ(tray->beeps, 1);
    EXPECT_FALSE(form->isVisible());
}

// Says that a StatusNotifierItem host is registered, so the toolkit shows its icon as an item and
// the test plays the host. It answers from a thread of its own: the toolkit asks it with blocking
// calls from the main thread.
class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ IsStatusNotifierHostRegistered)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ RegisteredStatusNotifierItems)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)

public:
    bool IsStatusNotifierHostRegistered() const { return true; }
    QStringList RegisteredStatusNotifierItems() const
    {
        const QMutexLocker lock(&mutex_);
        return items_;
    }
    int ProtocolVersion() const { return 0; }

public slots:
    void RegisterStatusNotifierItem(const QString& service)
    {
        const QMutexLocker lock(&mutex_);
        items_ << service;
    }
    void RegisterStatusNotifierHost(const QString&) {}

private:
    mutable QMutex mutex_;
    QStringList items_;
};

class StatusNotifierTray : public RealTray {
protected:
    void SetUp() override
    {
        if (!FirstHostOfProcess(TrayHost::StatusNotifierItem))
            GTEST_SKIP() << SkipReason;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "host");
        ASSERT_TRUE(bus.registerObject("/StatusNotifierWatcher", watcher,
                                       QDBusConnection::ExportAllContents));
        watcher->moveToThread(&thread);
        thread.start();
        ASSERT_TRUE(bus.registerService("org.kde.StatusNotifierWatcher"));
        StartWindow(TrayHost::StatusNotifierItem);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !watcher->RegisteredStatusNotifierItems().isEmpty(); }));
    }

    void TearDown() override
    {
        form.reset();
        tray.reset();
        watcher->deleteLater(); // in its own thread, where the bus delivers to it
        thread.quit();
        thread.wait();
    }

    // Calls the item as a host does; the toolkit answers in this thread meanwhile.
    QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            watcher->RegisteredStatusNotifierItems().first(), path, interface, method);
        call.setArguments(arguments);
        return QDBusConnection::sessionBus().call(call, QDBus::BlockWithGui);
    }

    void CallItem(const QString& method)
    {
        Call("/StatusNotifierItem", "org.kde.StatusNotifierItem", method, {0, 0});
    }

    // The items of the menu a host would draw now, "-" for a separator; remembers their ids.
    QStringList MenuItems()
    {
        const QDBusMessage reply =
            Call("/MenuBar", "com.canonical.dbusmenu", "GetLayout", {0, -1, QStringList()});
        const auto layout = reply.arguments().value(1).value<QDBusArgument>();
        int id = 0;
        QVariantMap properties;
        layout.beginStructure();
        layout >> id >> properties;
        QStringList items;
        layout.beginArray();
        while (!layout.atEnd()) {
            QDBusVariant child;
            layout >> child;
            const auto item = child.variant().value<QDBusArgument>();
            item.beginStructure();
            item >> id >> properties;
            item.endStructure();
            items << (properties["type"] == "separator" ? "-" : properties["label"].toString());
            menuIds[items.back()] = id;
        }
        // Each begin has its end: the reader of a level lives until then.
        layout.endArray();
        layout.endStructure();
        return items;
    }

    Watcher* watcher = new Watcher;
    QThread thread;
    std::map<QString, int> menuIds;
};

TEST_F(StatusNotifierTray, ActivateStandsForTheDoubleClickAndTheHostDrawsTheMenuOnlyWhileHidden)
{
    const QStringList trayMenu{"Show", "-", "Connect", "Disconnect", "-", "Exit"};
    EXPECT_EQ(MenuItems(), trayMenu);
    CallItem("Activate");
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(MenuItems(), QStringList());
    CallItem("ContextMenu");
    CallItem("Activate");
    EXPECT_EQ(tray->seen, (std::vector{TrayMouse::LeftDoubleClick, TrayMouse::RightButtonUp,
                                       TrayMouse::LeftDoubleClick}));
    EXPECT_EQ(tray->beeps, 2);
    ASSERT_TRUE(Minimise());
    EXPECT_EQ(MenuItems(), trayMenu);
    Call("/MenuBar", "com.canonical.dbusmenu", "Event",
         {menuIds["Show"], "clicked", QVariant::fromValue(QDBusVariant(0)), 0u});
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isMinimized());
}

} // namespace

#include "RealTrayTest.moc"
