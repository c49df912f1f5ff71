#include "app/MainWindowFixture.h"
#include "net/DynDnsRequest.h"
#include "net/SntpPacket.h"
#include "platform/net/NetworkError.h"

#include <QAction>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <list>
#include <optional>

using namespace std::chrono_literals;
using TimePoint = std::chrono::system_clock::time_point;
using Outcome = platform::TimeSyncResult::Outcome;

namespace {

// Ten minutes ahead of the test's clock: worth setting, and near enough to be trusted.
const TimePoint ServerTime = test::FakeSystemTime().now + 10min;

// The main window with its network clients pointed at servers of the test's own, on loopback
// only: those of local_servers.py (HTTPS with a certificate authority made for the test, SNTP
// with scripted replies). Every outcome arrives through the event loop.
class NetServices : public test::MainWindowFixture {
protected:
    ~NetServices() override
    {
        form.reset(); // before the servers its clients point at
        for (QProcess& process : processes)
            process.terminate(), process.waitForFinished();
    }
    // Starts local_servers.py `kind` with `arguments`; returns the port it printed.
    std::uint16_t Start(const QString& kind, const QStringList& arguments = {})
    {
        QProcess& server = processes.emplace_back();
        server.start(QUILLMAR_PYTHON,
                     QStringList{QUILLMAR_LOCAL_SERVERS, kind, dir.path()} + arguments);
        EXPECT_TRUE(server.waitForReadyRead(30000)) << server.readAllStandardError().toStdString();
        return static_cast<std::uint16_t>(server.readLine().trimmed().toUInt());
    }
    // Replies such as "401" or "200 good 127.0.0.1", in turn; the window's client trusts it and
    // has what an update needs.
    void StartHttps(const QStringList& plan)
    {
        settings->DynDNSHostname.Set("x"), settings->DynDNSUsername.Set("x");
        settings->DynDNSPassword.Set("x");
        httpsServer = "127.0.0.1:" + std::to_string(Start("https", plan));
        caFile = dir.filePath("ca.pem").toStdString();
        http = std::make_unique<platform::HttpClient>(httpsServer, caFile);
    }
    // Replies such as "good" or "originate+good" telling `time`, in turn; the window asks it.
    void StartSntp(TimePoint time, const QStringList& plan)
    {
        const auto ms = std::chrono::floor<std::chrono::milliseconds>(time).time_since_epoch();
        UseNtpPort(Start("sntp", QStringList{QString::number(ms.count())} + plan));
    }
    void UseNtpPort(std::uint16_t port)
    {
        sntp = std::make_unique<platform::SntpClient>(systemTime, port);
    }
    // One line per request the servers saw, as local_servers.py logs them.
    QStringList Requests() const
    {
        QFile log(dir.filePath("requests"));
        return log.open(QIODevice::ReadOnly)
                   ? QString(log.readAll()).split('\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
    // The protocol lines from `from` on, once a network operation has written its last one.
    QStringList LinesUntilOutcome(qsizetype from) const
    {
        const auto outcome = [&] {
            const QStringList lines = Protocol().mid(from);
            return !lines.isEmpty() &&
                   (lines.last() == "Giving up!" || lines.last() == "Time Sync: OK" ||
                    lines.last().startsWith("DynDNS Update: "));
        };
        EXPECT_TRUE(QTest::qWaitFor(outcome, 60000));
        return Protocol().mid(from);
    }
    // Runs the menu command `action`, twice in a row as an impatient user might, and returns the
    // protocol lines of the one operation that runs.
    QStringList RunFromMenu(const char* action)
    {
        const qsizetype before = Protocol().size();
        form->findChild<QAction*>(action)->trigger();
        form->findChild<QAction*>(action)->trigger();
        return LinesUntilOutcome(before);
    }
    // The body, or the message after "Error: ".
    static std::string Fetch(platform::HttpClient&& client)
    {
        std::optional<std::string> outcome;
        const auto request = client.Get(
            "/", "alice", "pw", [&](const std::string& body) { outcome = body; },
            [&](const platform::NetworkError& error) { outcome = "Error: " + error.message; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 30000));
        return outcome.value_or("");
    }
    Outcome SyncWithLoopback()
    {
        std::optional<Outcome> outcome;
        const auto exchange = sntp->SyncTime(
            "127.0.0.1", [&](const platform::TimeSyncResult& result) { outcome = result.outcome; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 30000));
        return outcome.value_or(Outcome::NotSet);
    }

    QTemporaryDir dir;
    std::string httpsServer, caFile;
    std::list<QProcess> processes;
};

// The server: "https" for DynDNS, "sntp" for the time; its plan; what each attempt logs; whether
// the run gives up.
using Retry = std::tuple<QString, QStringList, QStringList, bool>;
class NetRetries : public NetServices, public ::testing::WithParamInterface<Retry> {};

} // namespace

// Timestamps with the top bit clear lie after the roll-over of 7 February 2036.
TEST(NtpTimestamp, ConvertsAcrossThe2036RollOver)
{
    // NTP seconds and fraction, Unix milliseconds; 1970, the last second before the roll-over and
    // 2036-02-07 06:28:16.
    const std::pair<std::uint64_t, std::int64_t> rows[] = {
        {0x83AA7E80'00000000, 0},
        {0x83AA7E80'80000000, 500},
        {0xFFFFFFFF'00000000, 2'085'978'495'000},
        {0x00000000'00000000, 2'085'978'496'000}};
    for (const auto& [ntp, unixMs] : rows) {
        EXPECT_EQ(net::FromNtp(ntp), TimePoint(std::chrono::milliseconds(unixMs))) << unixMs;
        EXPECT_EQ(net::ToNtp(TimePoint(std::chrono::milliseconds(unixMs))), ntp) << unixMs;
    }
}

// Any reply ends a run from the menu; a failure is retried after a pause, four attempts at most;
// a kiss-o'-death ends the run at once. A second trigger while one runs starts nothing.
TEST_P(NetRetries, LogEachAttemptUntilAReply)
{
    const auto& [server, plan, attempts, givesUp] = GetParam();
    if (server == "https")
        StartHttps(plan);
    else
        StartSntp(ServerTime, plan), settings->KeepAliveHost.Set("127.0.0.1");
    StartWindow();
    const QStringList protocol =
        (attempts.join("\nTrying again...\n") + (givesUp ? "\nGiving up!" : "")).split('\n');
    EXPECT_EQ(RunFromMenu(server == "https" ? "mimUpdateDynDNS" : "mimUpdateNTP"), protocol);
    EXPECT_EQ(pause.pauses, std::vector<std::uint32_t>(attempts.size() - 1, 2000));
    EXPECT_EQ(Requests().size(), attempts.size());
}

INSTANTIATE_TEST_SUITE_P(
    Plans, NetRetries,
    ::testing::Values(
        Retry{"https", {"200 badauth"}, {"DynDNS Update: badauth"}, false},
        Retry{"https", {"401"}, QStringList(4, "Error: HTTP/1.1 401 Unauthorized"), true},
        Retry{"https",
              {"401", "302", "200 good 127.0.0.1"},
              {"Error: HTTP/1.1 401 Unauthorized", "Error: HTTP/1.1 302 Found",
               "DynDNS Update: good 127.0.0.1"},
              false},
        Retry{"sntp", {"none", "good"}, {"Time Sync: Failed", "Time Sync: OK"}, false},
        Retry{"sntp",
              {"ten-years-back", "good"},
              {"Time sync failed. Error: The server's time is -315359400 s off ours; steps over "
               "1000 s are refused",
               "Time Sync: OK"},
              false},
        Retry{"sntp", {"kiss-of-death"}, {"Time sync failed. Error: Kiss-o'-death RATE"}, true}));

// Host name and credentials are read at each update: at start (after the window is up) and at
// each connect while automatic, and from the menu. The host name cannot add a parameter (only
// unreserved characters pass unencoded); the body is logged as is.
// The time is kept alive every KeepAliveTime minutes of connected ticks, the connecting tick
// counted as the first; a run from the menu leaves the period alone.
// Without the settings it needs, an operation sends nothing and says once what is missing and
// where it is set, whenever it would have run: a run under way would keep the next from starting.
TEST_F(NetServices, DynDnsAtStartEachConnectAndFromTheMenuAndTheKeepAliveWhileConnected)
{
    StartHttps({"200 good 127.0.0.1", "200 nochg 100%s %d"});
    StartSntp(ServerTime, {"good"});
    settings->KeepAliveEnabled.Set(1);
    settings->KeepAliveTime.Set(10);
    settings->KeepAliveHost.Set("127.0.0.1");
    settings->DynDNSHostname.Set("a&myip=1.2.3.4#_-~.ä %");
    settings->DynDNSUsername.Set("alice");
    settings->DynDNSPassword.Set("pw:1");
    settings->DynDNSAutoUpdate.Set(1);
    ConnectLine();
    StartWindow();
    EXPECT_EQ(Protocol().last(), "We are currently connected");
    EXPECT_EQ(LinesUntilOutcome(Protocol().size()), QStringList("DynDNS Update: good 127.0.0.1"));
    settings->DynDNSHostname.Set("b");
    settings->DynDNSUsername.Set("bob");
    EXPECT_EQ(RunFromMenu("mimUpdateDynDNS"), QStringList("DynDNS Update: nochg 100%s %d"));
    for (const std::uint32_t automatic : {1, 0}) {
        settings->DynDNSAutoUpdate.Set(automatic);
        DropLine();
        Tick();
        ConnectLine();
        Tick();
    }
    EXPECT_EQ(LinesUntilOutcome(Protocol().size()), QStringList("DynDNS Update: nochg 100%s %d"));
    const QString fixed = "|Quillmar - Quillmar - 1.05|text/html, */*|text/html|";
    const QString bob = "/nic/update?system=dyndns&hostname=b|bob:pw:1" + fixed;
    EXPECT_EQ(
        Requests(),
        QStringList(
            {"/nic/update?system=dyndns&hostname=a%26myip%3D1.2.3.4%23_-~.%C3%A4%20%25|alice:pw:1" +
                 fixed,
             bob, bob}));
    // A keep-alive before its time would still be running here, and the menu's run would not
    // start; nor would the keep-alive come at its time.
    Tick(598);
    EXPECT_EQ(RunFromMenu("mimUpdateNTP"), QStringList("Time Sync: OK"));
    const qsizetype before = Protocol().size();
    Tick();
    EXPECT_EQ(LinesUntilOutcome(before), QStringList("Time Sync: OK"));
    settings->KeepAliveHost.Set(" "), settings->DynDNSPassword.Set(" ");
    settings->DynDNSHostname.Set(""), settings->DynDNSUsername.Set("");
    form->findChild<QAction*>("mimUpdateDynDNS")->trigger();
    Tick(1200);
    const QString time = "Time not synchronized: no NTP server set (Settings, Connection).";
    EXPECT_EQ(Protocol().last(3), QStringList({"DynDNS not updated: no Hostname, Username or "
                                               "Password set (Settings, DynDNS).",
                                               time, time}));
}

// Untrusted or for another name: refused before any credentials leave. Silent: given up at the
// time-out.
TEST_F(NetServices, UntrustedSilentAndOverlongHttpsRepliesFail)
{
    StartHttps({"200 " + QString(65536, 'x'), "200 " + QString(65537, 'x')});
    EXPECT_EQ(Fetch(platform::HttpClient(httpsServer, caFile)).size(), 65536u);
    EXPECT_EQ(Fetch(platform::HttpClient(httpsServer, caFile)),
              "Error: Reply longer than 65536 bytes");
    EXPECT_EQ(Fetch(platform::HttpClient(httpsServer)).substr(0, 27),
              "Error: SSL handshake failed");
    const std::string otherName = "localhost" + httpsServer.substr(httpsServer.rfind(':'));
    EXPECT_EQ(Fetch(platform::HttpClient(otherName, caFile)).substr(0, 27),
              "Error: SSL handshake failed");
    EXPECT_EQ(Requests().size(), 2);
    const std::string silent = "127.0.0.1:" + std::to_string(Start("silent"));
    EXPECT_EQ(Fetch(platform::HttpClient(silent)), "Error: No data within 5 s");
}

// The server's time counts for the middle of the exchange; a clock within half a second of it
// is left alone. A spoilt reply just before a valid one is ignored, except a kiss-o'-death, which
// ends the attempt.
TEST_F(NetServices, OnlyAnSntpAnswerToOurRequestSetsTheClockToTheMiddleOfTheExchange)
{
    systemTime.step = 1s; // sent at 0 s, answer read at 1 s, clock set at 2 s
    StartSntp(ServerTime, {"good"});
    EXPECT_EQ(SyncWithLoopback(), Outcome::ClockSet);
    EXPECT_EQ(std::exchange(systemTime.set, {}), std::vector{ServerTime + 1500ms});
    StartSntp(systemTime.now + 900ms, {"good"}); // 0.4 s ahead of ours at the middle, 0.5 s
    EXPECT_EQ(SyncWithLoopback(), Outcome::ClockSet);
    EXPECT_TRUE(systemTime.set.empty());

    systemTime.step = {};
    const QStringList spoilt{"originate",       "other-port",       "client-mode",
                             "version-2",       "leap-alarm",       "stratum-16",
                             "no-receive-time", "no-transmit-time", "47-bytes"};
    StartSntp(ServerTime, QStringList(spoilt).replaceInStrings(QRegularExpression("$"), "+good")
                              << "kiss-of-death+good");
    for (const QString& spoil : spoilt) {
        SCOPED_TRACE(spoil.toStdString());
        EXPECT_EQ(SyncWithLoopback(), Outcome::ClockSet);
        EXPECT_EQ(std::exchange(systemTime.set, {}), std::vector{ServerTime});
    }
    EXPECT_EQ(SyncWithLoopback(), Outcome::KissOfDeath);
    EXPECT_TRUE(systemTime.set.empty());
}

// With the real pause and the real watch timer: the window counts on while its operations wait on
// servers that never answer, and its end abandons them.
TEST_F(NetServices, TheWatchGoesOnWhileOperationsWaitAndTheWindowsEndAbandonsThem)
{
    StartHttps({"hold"});
    StartSntp(ServerTime, {"none"});
    settings->KeepAliveHost.Set("127.0.0.1");
    platform::TimerPause timerPause;
    form = std::make_unique<TFormMain>(
        FormMainServices{*settings, ras, clock, *http, *sntp, timerPause, tray, *notifications});
    form->findChild<QAction*>("mimUpdateDynDNS")->trigger();
    form->findChild<QAction*>("mimUpdateNTP")->trigger();
    ConnectLine();
    // The update's request held, and the time's second attempt after a real pause.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Requests().size() >= 3; }, 30000));
    EXPECT_TRUE(Protocol().contains("Now, we are connected"));
    EXPECT_FALSE(Protocol().contains("Giving up!"));
    form.reset();
}
