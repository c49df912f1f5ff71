// The link service over NetworkManager, against python3-dbusmock's NetworkManager on a private bus,
// mostly through the main window and its protocol.
#include "platform/links/networkmanager/NetworkManagerLinks.h"

#include "app/CommandLine.h"
#include "app/LinkChoice.h"
#include "app/MainWindowFixture.h"
#include "platform/links/kernel/KernelLinks.h"
#include "platform/links/kernel/NetNamespace.h"
#include "platform/links/networkmanager/DialProgress.h"
#include "platform/links/networkmanager/NetworkManagerMock.h"
#include "traffic/ByteFormat.h"
#include "traffic/LinkProbe.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <thread>

using namespace std::chrono_literals;
using Mock = test::NetworkManagerMock;

namespace {

const QString Separator(51, '-');
const QString Device = Mock::ManagerPath + "/Devices/nm_test";
std::unique_ptr<Mock> nm; // one per test process: it takes about a second to start

// The watched entry is "Mobile".
class NetworkManagerWatch : public test::MainWindowFixture {
protected:
    static void SetUpTestSuite() { nm = std::make_unique<Mock>(); }
    static void TearDownTestSuite() { nm.reset(); }
    void SetUp() override { settings->Connection.Set("Mobile"); }
    void TearDown() override
    {
        form.reset();                              // before the link service it holds
        nm->Mock("Reset", {}, "/org/freedesktop"); // for the next test in this process
    }

    // "Mobile" on an Ethernet device whose interface is not in this namespace: its bytes are
    // NetworkManager's own device statistics.
    QString AddMobile()
    {
        nm->Mock("AddEthernetDevice", {"nm_test", "nmtest0", 30});
        return nm->AddProfile("Mobile", "802-3-ethernet");
    }
    // Runs `action` inside every dial dialog once it is open, as a user would act on it.
    void WhileDialling(std::function<void(DialProgress&)> action)
    {
        timer.disconnect();
        QObject::connect(&timer, &QTimer::timeout, [action] {
            auto* dialog = dynamic_cast<DialProgress*>(QApplication::activeModalWidget());
            if (action && dialog && !dialog->property("handled").toBool())
                dialog->setProperty("handled", true), action(*dialog);
        });
        timer.start(5);
    }
    // Runs the event loop until the link service, probed as the watch cycle probes it, finds
    // "Mobile" connected with at least `received` bytes, or not connected.
    bool Until(bool connected, std::uint32_t received = 0)
    {
        return QTest::qWaitFor([&] {
            std::uint64_t rx = 0, tx = 0;
            std::uint32_t ms = 0;
            return ReadStatistics(*links, FindConnection(*links, "Mobile", true), rx, tx, ms) ==
                       connected &&
                   rx >= received;
        });
    }

    QTimer timer;
    std::chrono::steady_clock::time_point now;
    std::optional<platform::NetworkManagerLinks> links{std::in_place, nm->Bus(), 30s,
                                                       [this] { return now; }};
};

// NetworkManager is the link service while it runs. Entries are watchable profile ids; a
// connection NetworkManager is activating already is waited on, not activated again; a kept
// connection is redialled.
TEST_F(NetworkManagerWatch, ChosenWhileItRunsConnectWaitsDisconnectEndsKeptIsRedialled)
{
    for (const auto& [arguments, kind] :
         {std::pair(QStringList{"quillmar"}, &typeid(platform::NetworkManagerLinks)),
          {QStringList{"quillmar", "--links=kernel"}, &typeid(platform::KernelLinks)}}) {
        const auto chosen = ChooseLinks(ParseCommandLine(arguments).links, nm->Bus());
        EXPECT_TRUE(chosen && typeid(*chosen) == *kind) << arguments.join(' ').toStdString();
    }

    nm->AddProfile("lo", "loopback");
    nm->AddProfile("veth7", "802-3-ethernet", 0x8);
    nm->AddProfile("Home", "gsm");
    const QString profile = AddMobile();
    std::vector<platform::RasEntryName> entries(9);
    std::size_t count = 0;
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return links->EnumEntries(entries, count) == 0 && count == 2; }));
    EXPECT_EQ(std::string(entries[0].name) + "|" + entries[1].name + "|" + entries[2].name,
              "Home|Mobile|");

    nm->Call(Mock::ManagerPath, Mock::Service, "ActivateConnection", // by its autoconnect, say
             {Mock::Path(profile), Mock::Path("/"), Mock::Path("/")});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return FindConnection(*links, "Mobile", false) != InvalidConnection; }));
    StartWindow(*links);
    form->btConnect->click();
    EXPECT_EQ(NewLines().back(), "It seems, that we are already connected.");
    QString shown;
    WhileDialling([&](DialProgress& dialog) {
        shown = dialog.findChild<QLabel*>()->text();
        nm->SetState(profile, Mock::Activated);
    });
    std::uint32_t error = 1;
    EXPECT_TRUE(links->DialDlg("Mobile", error));
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(nm->ManagerCalls("ActivateConnection"), 1);
    ASSERT_TRUE(Until(true));
    Tick();
    EXPECT_EQ(NewLines(), QStringList({Separator, "Now, we are connected"}));
    const QString statistics = Mock::Service + ".Device.Statistics";
    for (const auto& [name, value] : {std::pair("TxBytes", 300ull), {"RxBytes", 5000ull}})
        nm->Mock("SetProperty", {Device, statistics, name, Mock::Variant(value)});
    ASSERT_TRUE(Until(true, 5000));
    Tick();
    EXPECT_EQ(form->GetSumRX(), 5000u);
    EXPECT_EQ(form->GetSumTX(), 300u);
    EXPECT_EQ(nm->Property(Device, statistics, "RefreshRateMs").toUInt(), 1000u);

    form->btDisconnect->click();
    EXPECT_EQ(NewLines(), QStringList()); // NetworkManager's answer is logged once it comes
    EXPECT_TRUE(nm->ActiveConnections().isEmpty());
    ASSERT_TRUE(Until(false));
    // Its signals may come before its answer.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Protocol().last() == "Connection closed successfully."; }));
    Tick();
    EXPECT_EQ(NewLines(),
              QStringList({"Connection closed successfully.", "Now, we are disconnected"}));
    settings->KeepConnected.Set(1);
    form->btConnect->click();
    EXPECT_EQ(shown, "Dialing Mobile…");
    ASSERT_TRUE(Until(true));
    Tick();
    EXPECT_EQ(NewLines(),
              QStringList({"Dialing...", "Dialing successful", Separator, "Now, we are connected",
                           "Quillmar will keep the connection."}));
    nm->SetState(profile, Mock::Deactivated, 3);
    ASSERT_TRUE(Until(false));
    Tick();
    EXPECT_EQ(NewLines(),
              QStringList({"Now, we are disconnected", "Dialing...", "Dialing successful"}));
    EXPECT_EQ(nm->ManagerCalls("ActivateConnection"), 3);
    // Dialled once up, before the window has seen it: done without a box.
    WhileDialling([](DialProgress& dialog) { dialog.reject(); });
    EXPECT_TRUE(links->DialDlg("Mobile", error));
}

// Each failure is logged with its code and leaves nothing half set up: a refusal, a failure said
// before NetworkManager answers the request, a connection dropped from its list without a word, a
// cancel, also before it answers, and the dial's time limit.
TEST_F(NetworkManagerWatch, AFailedDialLogsItsErrorCode)
{
    const QString profile = AddMobile();
    nm->AddProfile("Refused", "gsm", 0, {{"test-outcome", "refused"}});
    nm->AddProfile("Rejected", "gsm", 0, {{"test-outcome", "login-fails"}});
    using Act = std::function<void(DialProgress&)>;
    const auto cancel = [](DialProgress& dialog) {
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    };
    const auto fail = [&](auto&) { nm->SetState(profile, Mock::Deactivated, 9); };
    const auto drop = [&](auto&) {
        nm->Mock("RemoveActiveConnection", {Device, nm->ActiveConnections().value(0).path()});
    };
    for (const auto& [entry, act, line, limit, stalled] :
         {std::tuple("mobile", Act(), "Dialing error: 2", 30'000ms, false),
          {"Refused", Act(), "Dialing error: 13", 30s, false},
          {"Rejected", Act(), "Dialing error: 129", 30s, false},
          {"Mobile", fail, "Dialing error: 126", 30s, false},
          {"Mobile", drop, "Dialing error: 103", 30s, false},
          {"Mobile", cancel, "Dialing error: 0", 30s, false},
          {"Mobile", cancel, "Dialing error: 0", 30s, true},
          {"Mobile", Act(), "Dialing error: 110", 50ms, false}}) {
        form.reset();
        settings->Connection.Set(entry);
        links.emplace(nm->Bus(), limit);
        StartWindow(*links);
        WhileDialling(act);
        if (stalled)
            nm->Signal(SIGSTOP);
        form->btConnect->click();
        nm->Signal(SIGCONT);
        const QStringList protocol = Protocol();
        EXPECT_EQ(protocol.value(protocol.lastIndexOf("Dialing...") + 1), line);
        // Cancelled before NetworkManager answered, the connection is taken down once it does.
        for (const auto end = std::chrono::steady_clock::now() + 10s;
             !nm->ActiveConnections().isEmpty() && std::chrono::steady_clock::now() < end;)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_TRUE(nm->ActiveConnections().isEmpty()) << line;
    }
}

// Restarted, stalled, or joined by a second connection of the same name that it lists first,
// NetworkManager costs no byte: the window, on its own timer, counts exactly what the kernel
// counted on the line, with no disconnect. A tick asks NetworkManager nothing while nothing
// changes.
TEST_F(NetworkManagerWatch, RestartStallAndNamesakeLoseNothing)
{
    if (!test::CanCreateNamespaces())
        GTEST_SKIP() << test::NamespaceRefusal();
    const test::Wan line("wwan0");
    line.home.Enter();
    const auto bringUp = [](const QString& modem, const QString& ip, const QString& uuid) {
        nm->Mock("AddModemDevice", {modem, "cdc-" + modem, ip});
        const QString profile = nm->AddProfile(
            "Mobile", "gsm", 0, {{"uuid", uuid}, {"interface-name", "cdc-" + modem}});
        nm->Call(Mock::ManagerPath, Mock::Service, "ActivateConnection",
                 {Mock::Path(profile), Mock::Path("/"), Mock::Path("/")});
        QTest::qWait(1500); // being activated, with no IP interface yet
        nm->SetState(profile, Mock::Activated);
    };
    const QString mobile = "0c4e4bd4-5a06-4c38-9e2f-4ab5d1f09a11";
    bringUp("modem0", "wwan0", mobile);
    const auto before = line.Counted();
    links.emplace(nm->Bus());
    StartWindow(*links);
    form->WatchTimer->start();
    std::jthread transfer([&](std::stop_token stop) {
        while (!stop.stop_requested())
            line.SendOut(20, 1000), line.SendIn(10, 1000);
    });
    QTest::qWait(2000);
    // It comes back knowing nothing, lists no connection for a while, and brings the line up again.
    nm->Restart();
    QTest::qWait(2000);
    bringUp("modem0", "wwan0", mobile);
    QTest::qWait(2000);
    nm->Signal(SIGSTOP);
    QTest::qWait(4000);
    nm->Signal(SIGCONT);
    bringUp("modem1", "lo", "0c4e4bd4-5a06-4c38-9e2f-4ab5d1f09a12");
    auto listed = nm->ActiveConnections();
    std::reverse(listed.begin(), listed.end());
    nm->Mock("SetProperty", {Mock::ManagerPath, Mock::Service, "ActiveConnections",
                             Mock::Variant(QVariant::fromValue(listed))});
    QTest::qWait(2000);
    transfer.request_stop();
    transfer.join();
    const auto after = line.Counted();
    const std::array expected{after[0] - before[0], after[1] - before[1]};
    const auto counted = [&] { return std::array{form->GetSumRX(), form->GetSumTX()}; };
    (void)QTest::qWaitFor([&] { return counted() == expected; });
    EXPECT_EQ(counted(), expected);
    EXPECT_EQ(Protocol().filter("disconnected"), QStringList());

    const auto calls = nm->Calls();
    QTest::qWait(3000);
    EXPECT_EQ(nm->Calls(), calls);
}

// Only an activated connection is counted, on its link. What crossed the link while the program
// was not running is counted at its next start, to the byte; a link made anew under the same name
// ends the connection, which counts on the new link from there.
TEST_F(NetworkManagerWatch, WhatCrossedWhileDownIsCountedOnTheSameActiveConnection)
{
    if (!test::CanCreateNamespaces())
        GTEST_SKIP() << test::NamespaceRefusal();
    const test::Wan line("wwan0");
    line.home.Enter();
    const QString modem = nm->Mock("AddModemDevice", {"modem0", "cdc-modem0", "wwan0"}).toString();
    const QString profile = nm->AddProfile("Mobile", "gsm");
    nm->Call(Mock::ManagerPath, Mock::Service, "ActivateConnection",
             {Mock::Path(profile), Mock::Path("/"), Mock::Path("/")});
    // Its link may be there before it is activated (a PPP link while it gets its address).
    nm->Mock("SetProperty",
             {modem, Mock::Service + ".Device", "IpInterface", Mock::Variant("wwan0")});
    links.emplace(nm->Bus());
    StartWindow(*links);
    EXPECT_FALSE(form->IsConnected());
    nm->SetState(profile, Mock::Activated);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tick(), form->IsConnected(); }));
    form.reset();
    const auto down = line.Counted();
    line.SendOut(30, 1000), line.SendIn(10, 1000);
    const auto up = line.Counted();
    links.emplace(nm->Bus());
    StartWindow(*links);
    const auto crossed = static_cast<std::int64_t>(up[0] - down[0] + up[1] - down[1]);
    EXPECT_EQ(Protocol().back().toStdString(), "Counted " + FormatBytes(crossed) +
                                                   " Bytes that crossed while Quillmar was not "
                                                   "running.");

    line.home.Check("ip link del wwan0"), line.Connect();
    Tick(2); // the connection ended with its link, and is taken on again on the new one
    const auto sent = line.Counted()[1];
    const std::uint64_t sum = form->GetSumTX();
    line.SendOut(30, 1000);
    Tick();
    EXPECT_EQ(form->GetSumTX() - sum, line.Counted()[1] - sent);
}

} // namespace
