// The link service over NetworkManager, against python3-dbusmock's NetworkManager on a private bus,
// mostly through the main window and its protocol.
#include "platform/NetworkManagerLinks.h"

#include "app/CommandLine.h"
#include "app/LinkChoice.h"
#include "app/MainWindowFixture.h"
#include "platform/DialProgress.h"
#include "platform/KernelLinks.h"
#include "platform/NetNamespace.h"
#include "platform/NetworkManagerMock.h"
#include "traffic/LinkProbe.h"

#include <QApplication>
#include <QDBusVariant>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <optional>

using namespace std::chrono_literals;
using test::NetworkManagerMock;

namespace {

const QString Separator(51, '-');
const QString ManagerPath = NetworkManagerMock::ManagerPath;
const QString Device = ManagerPath + "/Devices/nm_test";
const QString StatisticsIface = "org.freedesktop.NetworkManager.Device.Statistics";

// Runs `action` inside every dial dialog once it is open, as a user would act on it.
std::unique_ptr<QTimer> WhileDialling(std::function<void(DialProgress&)> action)
{
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [action] {
        auto* dialog = dynamic_cast<DialProgress*>(QApplication::activeModalWidget());
        if (dialog && !dialog->property("handled").toBool()) {
            dialog->setProperty("handled", true);
            action(*dialog);
        }
    });
    timer->start(5);
    return timer;
}

// One per test process: it takes about a second to start.
std::unique_ptr<NetworkManagerMock> mock;

// The watched entry is "Mobile".
class NetworkManagerWatch : public test::MainWindowFixture {
protected:
    static void SetUpTestSuite() { mock = std::make_unique<NetworkManagerMock>(); }
    static void TearDownTestSuite() { mock.reset(); }
    void SetUp() override { settings->Connection.Set("Mobile"); }
    // The window goes before the link service it holds.
    void TearDown() override { form.reset(); }

    // "Mobile" on an Ethernet device whose interface is not in this namespace: its bytes are
    // NetworkManager's own device statistics.
    QString AddMobile()
    {
        mock->Mock("AddEthernetDevice", {"nm_test", "nmtest0", 30}, ManagerPath);
        return mock->AddProfile({{"id", "Mobile"}, {"type", "802-3-ethernet"}});
    }

    std::chrono::steady_clock::time_point now;
    std::optional<platform::NetworkManagerLinks> links{std::in_place, mock->Bus(), 30s,
                                                       [this] { return now; }};
};

// The modem's traffic runs over wwan0, a veth of the test's own; its control interface is not a
// network interface at all.
TEST_F(NetworkManagerWatch, AConnectionMadeOutsideIsCountedAsTheKernelCountedItFromItsStart)
{
    if (!test::CanCreateNamespaces())
        GTEST_SKIP() << test::NeedsRoot;
    const test::Wan wan("wwan0");
    wan.home.EnterThisThread();
    mock->Mock("AddModemDevice", {"modem0", "cdc-wdm0", "wwan0"}, ManagerPath);
    const QString profile = mock->AddProfile({{"id", "Mobile"}, {"type", "gsm"}});
    StartWindow(*links);
    EXPECT_EQ(NewLines().back(), "We are currently disconnected");
    wan.SendOut(10, 700); // counted before
    Tick();
    mock->Activate(profile);
    Tick();
    mock->SetState(profile, NetworkManagerMock::Activated);
    Tick();
    EXPECT_EQ(NewLines(), QStringList({Separator, "Now, we are connected"}));
    wan.SendOut(30, 1000);
    wan.SendIn(20, 500);
    now += 1s;
    Tick();
    EXPECT_EQ(form->GetSumTX(), 30 * (1000 + test::FrameOverhead));
    EXPECT_EQ(form->GetSumRX(), 20 * (500 + test::FrameOverhead));
    mock->SetState(profile, NetworkManagerMock::Deactivated, 2);
    Tick();
    EXPECT_EQ(NewLines(), QStringList{"Now, we are disconnected"});
}

// Entries are watchable profile ids; a connection NetworkManager is activating already is waited
// on, not activated again.
TEST_F(NetworkManagerWatch, ConnectWaitsForTheConnectionDisconnectEndsItAndAKeptOneIsRedialled)
{
    mock->AddProfile({{"id", "Home"}, {"type", "gsm"}});
    const QString profile = AddMobile();
    mock->AddProfile({{"id", "lo"}, {"type", "loopback"}});
    mock->AddProfile({{"id", "veth7"}, {"type", "802-3-ethernet"}}, 0x8);
    mock->AddProfile({{"id", QString(256, 'x')}, {"type", "vpn"}});
    std::vector<platform::RasEntryName> entries(9);
    std::size_t count = 0;
    EXPECT_EQ(links->EnumEntries(entries, count), 0u);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(std::string(entries[0].name) + "|" + entries[1].name, "Home|Mobile");

    mock->Activate(profile); // by NetworkManager's autoconnect, say
    StartWindow(*links);
    form->btConnect->click();
    EXPECT_EQ(NewLines().back(), "It seems, that we are already connected.");
    QString shown;
    const auto comeUp = WhileDialling([&](DialProgress& dialog) {
        shown = dialog.findChild<QLabel*>()->text();
        mock->SetState(profile, NetworkManagerMock::Activated);
    });
    std::uint32_t error = 1;
    EXPECT_TRUE(links->DialDlg("Mobile", error));
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(mock->ManagerCalls("ActivateConnection"), 1);
    Tick();
    EXPECT_EQ(NewLines(), QStringList({Separator, "Now, we are connected"}));
    for (const auto& [name, value] : {std::pair("RxBytes", 5000ull), {"TxBytes", 300ull}})
        mock->Mock("SetProperty",
                   {Device, StatisticsIface, name, QVariant::fromValue(QDBusVariant(value))});
    Tick();
    EXPECT_EQ(form->GetSumRX(), 5000u);
    EXPECT_EQ(form->GetSumTX(), 300u);
    EXPECT_EQ(mock->Property(Device, StatisticsIface, "RefreshRateMs").toUInt(), 1000u);

    form->btDisconnect->click();
    EXPECT_TRUE(mock->ActiveConnections().isEmpty());
    Tick();
    EXPECT_EQ(NewLines(),
              QStringList({"Connection closed successfully.", "Now, we are disconnected"}));
    settings->KeepConnected.Set(1);
    shown.clear();
    form->btConnect->click();
    EXPECT_EQ(shown, "Dialing Mobile…");
    Tick();
    EXPECT_EQ(NewLines(),
              QStringList({"Dialing...", "Dialing successful", Separator, "Now, we are connected",
                           "Quillmar will keep the connection."}));
    mock->SetState(profile, NetworkManagerMock::Deactivated, 3);
    Tick();
    EXPECT_EQ(NewLines(),
              QStringList({"Now, we are disconnected", "Dialing...", "Dialing successful"}));
    EXPECT_EQ(mock->ManagerCalls("ActivateConnection"), 3);
}

// Each failure is logged with its code and leaves nothing half set up.
TEST_F(NetworkManagerWatch, AFailedDialLogsItsErrorCode)
{
    const QString profile = AddMobile();
    const struct {
        std::function<void()> before;
        std::function<void(DialProgress&)> whileDialling;
        QString line;
        std::chrono::milliseconds limit = 30s;
    } rows[] = {
        {[this] { settings->Connection.Set("mobile"); }, nullptr, "Dialing error: 2"},
        {nullptr, [&](auto&) { mock->SetState(profile, NetworkManagerMock::Deactivated, 9); },
         "Dialing error: 126"},
        {nullptr,
         [](auto&) {
             mock->Mock("RemoveActiveConnection", {Device, mock->ActiveConnections().value(0)},
                        ManagerPath);
         },
         "Dialing error: 103"},
        {nullptr,
         [](DialProgress& dialog) {
             dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
         },
         "Dialing error: 0"},
        {nullptr, nullptr, "Dialing error: 110", 50ms},
        {[] {
             mock->Mock("AddMethod",
                        {"org.freedesktop.NetworkManager", "ActivateConnection", "ooo", "o",
                         "raise dbus.exceptions.DBusException('not authorised', "
                         "name='org.freedesktop.NetworkManager.PermissionDenied')"},
                        ManagerPath);
         },
         nullptr, "Dialing error: 13"},
    };
    for (const auto& row : rows) {
        form.reset();
        settings->Connection.Set("Mobile");
        links.emplace(mock->Bus(), row.limit);
        if (row.before)
            row.before();
        StartWindow(*links);
        const auto act = WhileDialling([&](DialProgress& dialog) {
            if (row.whileDialling)
                row.whileDialling(dialog);
        });
        form->btConnect->click();
        EXPECT_EQ(Protocol().mid(Protocol().size() - 2), QStringList({"Dialing...", row.line}));
        // Cancelled before NetworkManager answered, the connection is taken down once it does.
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!mock->ActiveConnections().isEmpty() && std::chrono::steady_clock::now() < deadline)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_TRUE(mock->ActiveConnections().isEmpty()) << row.line.toStdString();
    }
}

const char* Kind(const platform::RasApi* links)
{
    return dynamic_cast<const platform::NetworkManagerLinks*>(links) ? "networkmanager"
           : dynamic_cast<const platform::KernelLinks*>(links)       ? "kernel"
                                                                     : "none";
}

TEST_F(NetworkManagerWatch, TheLinkServiceIsNetworkManagerWhileItRunsAndARestartVoidsEveryHandle)
{
    const QDBusConnection noBus("not connected");
    const struct {
        QStringList line;
        const QDBusConnection& bus;
        const char* expected;
    } rows[] = {
        {{}, mock->Bus(), "networkmanager"},
        {{}, noBus, "kernel"},
        {{"--links=kernel"}, mock->Bus(), "kernel"},
        {{"--links=networkmanager"}, noBus, "networkmanager"},
        {{"--links"}, mock->Bus(), "none"},
        {{"--links=nm"}, mock->Bus(), "none"},
    };
    for (const auto& row : rows) {
        const CommandLine line = ParseCommandLine(QStringList{"quillmar"} + row.line);
        const auto chosen = line.run ? ChooseLinks(line.links, row.bus) : nullptr;
        EXPECT_STREQ(Kind(chosen.get()), row.expected) << row.line.join("").toStdString();
        EXPECT_EQ(line.exitCode, chosen ? 0 : 2);
    }

    const auto bringUp = [this] {
        const QString profile = AddMobile();
        mock->Activate(profile);
        mock->SetState(profile, NetworkManagerMock::Activated);
    };
    bringUp();
    StartWindow(*links);
    ASSERT_EQ(NewLines().back(), "We are currently connected");
    const platform::RasHandle before = FindConnection(*links, "Mobile", true);
    mock->Stop();
    Tick();
    EXPECT_EQ(NewLines(), QStringList{"Now, we are disconnected"});
    // A program starting now uses the kernel's links.
    EXPECT_STREQ(Kind(ChooseLinks(LinkService::Automatic, mock->Bus()).get()), "kernel");
    mock->Start(); // numbers its connections from 1 again
    bringUp();
    EXPECT_NE(FindConnection(*links, "Mobile", true), before);
    EXPECT_EQ(links->HangUp(before), platform::RasErrorInvalidHandle);
    Tick();
    EXPECT_EQ(NewLines(), QStringList({Separator, "Now, we are connected"}));
}

} // namespace
