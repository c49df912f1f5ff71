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
#include "platform/TestTraffic.h"
#include "settings/Foptions.h"
#include "traffic/LinkProbe.h"

#include <QApplication>
#include <QComboBox>
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
const QString ManagerPath = "/org/freedesktop/NetworkManager";
const QString MockIface = "org.freedesktop.DBus.Mock";
const QString StatisticsIface = "org.freedesktop.NetworkManager.Device.Statistics";

// Runs `action` inside every dial dialog once it is open, as a user would act on it.
class WhileDialling {
public:
    explicit WhileDialling(std::function<void(DialProgress&)> action) : action_(std::move(action))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = dynamic_cast<DialProgress*>(QApplication::activeModalWidget());
            if (dialog && !dialog->property("handled").toBool()) {
                dialog->setProperty("handled", true);
                action_(*dialog);
            }
        });
        timer_.start(5);
    }

private:
    std::function<void(DialProgress&)> action_;
    QTimer timer_;
};

// One per test process: it takes about a second to start.
std::unique_ptr<NetworkManagerMock> mock;

// The watched entry is "Mobile". Without an IP interface in the test's namespace its bytes are
// NetworkManager's own device statistics.
class NetworkManagerWatch : public test::MainWindowFixture {
protected:
    static void SetUpTestSuite() { mock = std::make_unique<NetworkManagerMock>(); }
    static void TearDownTestSuite() { mock.reset(); }

    void SetUp() override
    {
        mock->Reset();
        settings->Connection.Set("Mobile");
    }

    // The window goes before the link service it holds.
    void TearDown() override { form.reset(); }

    // "Mobile" on an Ethernet device whose interface is not in this namespace.
    QString AddMobile()
    {
        device = mock->AddEthernet("nm_test", "nmtest0");
        return mock->AddProfile({{"id", "Mobile"}, {"type", "802-3-ethernet"}});
    }

    void SetDeviceBytes(std::uint64_t received, std::uint64_t transmitted)
    {
        for (const auto& [name, value] : {std::pair("RxBytes", received), {"TxBytes", transmitted}})
            mock->Call("/org/freedesktop", MockIface, "SetProperty",
                       {device, StatisticsIface, name,
                        QVariant::fromValue(QDBusVariant(QVariant::fromValue(qulonglong(value))))});
    }

    void StartWatching()
    {
        StartWindow(*links);
        NewLines();
    }

    QString device;
    std::chrono::steady_clock::time_point now;
    std::optional<platform::NetworkManagerLinks> links{std::in_place, mock->Bus(), 30s,
                                                       [this] { return now; }};
};

TEST_F(NetworkManagerWatch, EntriesAreProfileIdsAsTheSettingsDialogShowsThem)
{
    for (const char* id : {"Mobile", "Home", "Mobile"})
        mock->AddProfile({{"id", id}, {"type", "gsm"}});
    mock->AddProfile({{"id", "lo"}, {"type", "loopback"}});
    mock->SetProfileFlags(mock->AddProfile({{"id", "veth7"}, {"type", "802-3-ethernet"}}), 0x8);
    mock->AddProfile({{"id", QString(256, 'x')}, {"type", "vpn"}});
    settings->Connection.Set("Home");

    TFormOptions options(nullptr, *settings, *links);
    options.show();
    const auto* box = options.findChild<QComboBox*>("cbPhoneEntries");
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    EXPECT_EQ(shown, QStringList({"Mobile", "Home"}));
    EXPECT_EQ(box->currentText(), "Home");
}

// The modem's traffic runs over wwan0, a veth of the test's own; its control interface is not a
// network interface at all.
TEST_F(NetworkManagerWatch, AConnectionMadeOutsideIsCountedAsTheKernelCountedItFromItsStart)
{
    if (!test::NetNamespace::CanCreate())
        GTEST_SKIP() << "needs root to create network namespaces";
    const test::NetNamespace home;
    const test::NetNamespace isp;
    const test::VethPair veth = test::ConnectVeth(home, "wwan0", isp, "isp0");
    ASSERT_TRUE(test::WaitForOperState(home, "wwan0", true));
    home.EnterThisThread();
    const test::Socket homeSink = test::UdpSocket(home, veth.left.address, test::SinkPort);
    const test::Socket ispSink = test::UdpSocket(isp, veth.right.address, test::SinkPort);
    const test::Socket fromHome = test::UdpSocket(home, veth.left.address, 0);
    const test::Socket fromIsp = test::UdpSocket(isp, veth.right.address, 0);
    const auto kernel = [&](const char* counter) {
        return test::SysfsValue(home, std::string("wwan0/statistics/") + counter);
    };
    mock->AddModem("modem0", "cdc-wdm0", "wwan0");
    const QString profile = mock->AddProfile({{"id", "Mobile"}, {"type", "gsm"}});
    StartWindow(*links);
    EXPECT_EQ(NewLines().back(), "We are currently disconnected");

    test::SendDatagrams(fromHome, veth.right.address, 10, 700); // wwan0 counted before
    Tick();
    mock->Activate(profile);
    Tick();
    mock->SetState(profile, NetworkManagerMock::Activated);
    const auto rxAtStart = kernel("rx_bytes");
    const auto txAtStart = kernel("tx_bytes");
    Tick();
    EXPECT_EQ(NewLines(), QStringList({Separator, "Now, we are connected"}));
    test::SendDatagrams(fromHome, veth.right.address, 30, 1000);
    test::SendDatagrams(fromIsp, veth.left.address, 20, 500);
    now += 1s;
    Tick();
    EXPECT_EQ(form->GetSumTX(), 30 * (1000 + test::FrameOverhead));
    EXPECT_EQ(form->GetSumRX(), 20 * (500 + test::FrameOverhead));
    EXPECT_EQ(form->GetSumTX(), kernel("tx_bytes") - txAtStart);
    EXPECT_EQ(form->GetSumRX(), kernel("rx_bytes") - rxAtStart);

    mock->SetState(profile, NetworkManagerMock::Deactivated, 2);
    Tick();
    EXPECT_EQ(NewLines(), QStringList{"Now, we are disconnected"});
}

TEST_F(NetworkManagerWatch, ConnectWaitsForTheConnectionDisconnectEndsItAndAKeptOneIsRedialled)
{
    const QString profile = AddMobile();
    StartWatching();
    QString shown;
    const WhileDialling comeUp([&](DialProgress& dialog) {
        shown = dialog.findChild<QLabel*>()->text();
        mock->SetState(profile, NetworkManagerMock::Activated);
    });
    form->btConnect->click();
    EXPECT_EQ(shown, "Dialing Mobile…");
    Tick();
    EXPECT_EQ(NewLines(), QStringList({"Dialing...", "Dialing successful", Separator,
                                       "Now, we are connected"}));
    SetDeviceBytes(5000, 300);
    Tick();
    EXPECT_EQ(form->GetSumRX(), 5000u);
    EXPECT_EQ(form->GetSumTX(), 300u);
    EXPECT_EQ(mock->Property(device, StatisticsIface, "RefreshRateMs").toUInt(), 1000u);

    form->btDisconnect->click();
    EXPECT_TRUE(mock->ActiveConnections().isEmpty());
    Tick();
    EXPECT_EQ(NewLines(),
              QStringList({"Connection closed successfully.", "Now, we are disconnected"}));

    settings->KeepConnected.Set(1);
    form->btConnect->click();
    Tick();
    const QStringList kept{Separator, "Now, we are connected",
                           "Quillmar will keep the connection."};
    EXPECT_EQ(NewLines(), QStringList({"Dialing...", "Dialing successful"}) + kept);
    mock->SetState(profile, NetworkManagerMock::Deactivated, 3);
    Tick();
    EXPECT_EQ(NewLines(),
              QStringList({"Now, we are disconnected", "Dialing...", "Dialing successful"}));
    EXPECT_EQ(mock->ManagerCalls("ActivateConnection"), 3);
}

TEST_F(NetworkManagerWatch, AConnectionAlreadyBeingActivatedIsWaitedOnNotActivatedAgain)
{
    const QString profile = AddMobile();
    mock->Activate(profile); // by NetworkManager's autoconnect, say
    StartWatching();
    form->btConnect->click();
    EXPECT_EQ(NewLines(), QStringList{"It seems, that we are already connected."});

    const WhileDialling comeUp(
        [&](DialProgress&) { mock->SetState(profile, NetworkManagerMock::Activated); });
    std::uint32_t error = 1;
    EXPECT_TRUE(links->DialDlg("Mobile", error));
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(mock->ManagerCalls("ActivateConnection"), 1);
}

struct DialFailure {
    const char* name;
    std::function<void(CRegVars&, std::optional<platform::NetworkManagerLinks>&)> before;
    std::function<void(DialProgress&, const QString& profile)> whileDialling;
    QString line;
};

void PrintTo(const DialFailure& failure, std::ostream* out)
{
    *out << failure.name;
}

class NetworkManagerDialFailure : public NetworkManagerWatch,
                                  public testing::WithParamInterface<DialFailure> {};

// Nothing is left half set up.
TEST_P(NetworkManagerDialFailure, LogsItsErrorCode)
{
    const QString profile = AddMobile();
    if (GetParam().before)
        GetParam().before(*settings, links);
    StartWatching();
    const WhileDialling act([&](DialProgress& dialog) {
        if (GetParam().whileDialling)
            GetParam().whileDialling(dialog, profile);
    });
    form->btConnect->click();
    EXPECT_EQ(NewLines(), QStringList({"Dialing...", GetParam().line}));
    // Cancelled before NetworkManager answered, the connection is taken down once it does.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!mock->ActiveConnections().isEmpty() && std::chrono::steady_clock::now() < deadline)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(mock->ActiveConnections().isEmpty());
}

using Links = std::optional<platform::NetworkManagerLinks>;

INSTANTIATE_TEST_SUITE_P(
    Cases, NetworkManagerDialFailure,
    testing::Values(
        DialFailure{"PermissionDenied",
                    [](CRegVars&, Links&) {
                        mock->Call(ManagerPath, MockIface, "AddMethod",
                                   {"org.freedesktop.NetworkManager", "ActivateConnection", "ooo",
                                    "o",
                                    "raise dbus.exceptions.DBusException('not authorised', "
                                    "name='org.freedesktop.NetworkManager.PermissionDenied')"});
                    },
                    nullptr, "Dialing error: 13"},
        DialFailure{"UnknownProfile",
                    [](CRegVars& settings, Links&) { settings.Connection.Set("mobile"); }, nullptr,
                    "Dialing error: 2"},
        DialFailure{"NoSecrets", nullptr,
                    [](DialProgress&, const QString& profile) {
                        mock->SetState(profile, NetworkManagerMock::Deactivated, 9);
                    },
                    "Dialing error: 126"},
        DialFailure{"VanishedWithoutAWord", nullptr,
                    [](DialProgress&, const QString&) {
                        mock->Call(
                            ManagerPath, MockIface, "RemoveActiveConnection",
                            {ManagerPath + "/Devices/nm_test", mock->ActiveConnections().value(0)});
                    },
                    "Dialing error: 103"},
        DialFailure{
            "Cancelled", nullptr,
            [](DialProgress& dialog, const QString&) {
                dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
            },
            "Dialing error: 0"},
        DialFailure{"TimedOut", [](CRegVars&, Links& links) { links.emplace(mock->Bus(), 50ms); },
                    nullptr, "Dialing error: 110"}),
    [](const auto& info) { return info.param.name; });

TEST_F(NetworkManagerWatch, ARestartOfNetworkManagerVoidsEveryHandle)
{
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
    EXPECT_NE(dynamic_cast<platform::KernelLinks*>(
                  ChooseLinks(LinkService::Automatic, mock->Bus()).get()),
              nullptr);

    mock->Start(); // numbers its connections from 1 again
    bringUp();
    EXPECT_NE(FindConnection(*links, "Mobile", true), before);
    EXPECT_EQ(links->HangUp(before), platform::RasErrorInvalidHandle);
    Tick();
    EXPECT_EQ(NewLines(), QStringList({Separator, "Now, we are connected"}));
}

TEST_F(NetworkManagerWatch, TheLinkServiceIsNetworkManagerWhenItRunsUnlessAnOptionSaysOtherwise)
{
    const QDBusConnection noBus("not connected");
    const struct {
        const char* option;
        const QDBusConnection& bus;
        const char* expected;
    } rows[] = {
        {nullptr, mock->Bus(), "networkmanager"},
        {nullptr, noBus, "kernel"},
        {"--links=kernel", mock->Bus(), "kernel"},
        {"--links=networkmanager", noBus, "networkmanager"},
        {"--links", mock->Bus(), "none"},
        {"--links=nm", mock->Bus(), "none"},
    };
    for (const auto& row : rows) {
        const CommandLine line = ParseCommandLine(row.option ? QStringList{"quillmar", row.option}
                                                             : QStringList{"quillmar"});
        const auto links = line.run ? ChooseLinks(line.links, row.bus) : nullptr;
        const char* chosen = dynamic_cast<platform::NetworkManagerLinks*>(links.get())
                                 ? "networkmanager"
                             : dynamic_cast<platform::KernelLinks*>(links.get()) ? "kernel"
                                                                                 : "none";
        EXPECT_STREQ(chosen, row.expected) << (row.option ? row.option : "no option");
        EXPECT_EQ(line.exitCode, links ? 0 : 2);
    }
}

} // namespace
