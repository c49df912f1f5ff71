#include "app/MainWindowFixture.h"
#include "net/DynDnsRequest.h"
#include "net/SntpPacket.h"
#include "platform/NetworkError.h"

#include <QAction>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <list>

using namespace std::chrono_literals;
using TimePoint = std::chrono::system_clock::time_point;

namespace {

const TimePoint ServerTime = std::chrono::sys_days(std::chrono::year(2031) / 5 / 17) + 11h;

// The main window with its network clients pointed at servers of the test's own, on loopback
// only: those of local_servers.py (HTTPS with a certificate authority made for the test, SNTP
// with scripted replies).
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
    // Replies such as "401" or "200 good 127.0.0.1", in turn; the window's client trusts it.
    void StartHttps(const QStringList& plan)
    {
        httpsBase = "https://127.0.0.1:" + std::to_string(Start("https", plan));
        caFile = dir.filePath("ca.pem").toStdString();
        http = std::make_unique<platform::HttpClient>(httpsBase, caFile);
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
    // One line per request the server saw, as local_servers.py logs it.
    QStringList Requests() const
    {
        QFile log(dir.filePath("requests"));
        return log.open(QIODevice::ReadOnly)
                   ? QString(log.readAll()).split('\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
    // Runs the menu command `action` and returns the protocol lines it wrote.
    QStringList RunFromMenu(const char* action)
    {
        const qsizetype before = Protocol().size();
        form->findChild<QAction*>(action)->trigger();
        return Protocol().mid(before);
    }

    QTemporaryDir dir;
    std::string httpsBase, caFile;
    std::list<QProcess> processes;
};

// The server: "https" for DynDNS, else "sntp" or "free-udp", a port where nobody answers; its
// plan; what each attempt logs; whether the run gives up.
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

// Any reply ends a run from the menu; a failure is retried after a pause, four attempts at most.
TEST_P(NetRetries, LogEachAttemptUntilAReply)
{
    const auto& [server, plan, attempts, givesUp] = GetParam();
    server == "https"  ? StartHttps(plan)
    : server == "sntp" ? StartSntp(ServerTime, plan)
                       : UseNtpPort(Start(server));
    settings->KeepAliveHost.Set("127.0.0.1");
    StartWindow();
    const QStringList protocol =
        (attempts.join("\nTrying again...\n") + (givesUp ? "\nGiving up!" : "")).split('\n');
    EXPECT_EQ(RunFromMenu(server == "https" ? "mimUpdateDynDNS" : "mimUpdateNTP"), protocol);
    EXPECT_EQ(pause.pauses, std::vector<std::uint32_t>(attempts.size() - 1, 2000));
    EXPECT_EQ(Requests().size(), server == "free-udp" ? 0 : attempts.size());
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
        Retry{"free-udp", {}, QStringList(4, "Time sync failed. Error: Connection refused"), true},
        Retry{"sntp", {"none", "good"}, {"Time Sync: Failed", "Time Sync: OK"}, false}));

// Host name and credentials are read at each update: at start and at each connect while
// automatic, and from the menu. The host name cannot add a parameter (only unreserved characters
// pass unencoded); the body is logged as is.
// The time is kept alive every KeepAliveTime minutes of connected ticks, the connecting tick
// counted as the first.
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
    EXPECT_EQ(Protocol().last(), "DynDNS Update: good 127.0.0.1");
    settings->DynDNSHostname.Set("");
    settings->DynDNSUsername.Set("bob");
    EXPECT_EQ(RunFromMenu("mimUpdateDynDNS"), QStringList("DynDNS Update: nochg 100%s %d"));
    for (const std::uint32_t automatic : {1, 0}) {
        settings->DynDNSAutoUpdate.Set(automatic);
        DropLine();
        Tick();
        ConnectLine();
        Tick();
    }
    const QString fixed = "|Quillmar - Quillmar - 1.05|text/html, */*|text/html|";
    const QString bob = "/nic/update?system=dyndns&hostname=|bob:pw:1" + fixed;
    EXPECT_EQ(
        Requests(),
        QStringList(
            {"/nic/update?system=dyndns&hostname=a%26myip%3D1.2.3.4%23_-~.%C3%A4%20%25|alice:pw:1" +
                 fixed,
             bob, bob}));
    Tick(598);
    EXPECT_EQ(Protocol().last(), "Now, we are connected");
    Tick();
    EXPECT_EQ(Protocol().last(), "Time Sync: OK");
}

// Untrusted or for another name: refused before any credentials leave. Silent: given up at the
// time-out.
TEST_F(NetServices, UntrustedSilentAndOverlongHttpsRepliesFail)
{
    StartHttps({"200 " + QString(65536, 'x'), "200 " + QString(65537, 'x')});
    EXPECT_EQ(http->Get("/", "", "").size(), 65536u);
    EXPECT_THROW(http->Get("/", "", ""), platform::NetworkError);
    EXPECT_THROW(platform::HttpClient(httpsBase).Get("/", "alice", "pw"), platform::NetworkError);
    const std::string otherName = "https://localhost" + httpsBase.substr(httpsBase.rfind(':'));
    EXPECT_THROW(platform::HttpClient(otherName, caFile).Get("/", "alice", "pw"),
                 platform::NetworkError);
    EXPECT_EQ(Requests().size(), 2);
    const std::string silent = "https://127.0.0.1:" + std::to_string(Start("silent"));
    EXPECT_THROW(platform::HttpClient(silent).Get("/", "", ""), platform::NetworkError);
}

// The server's time counts for the middle of the exchange; a clock within half a second of it
// is left alone. A spoilt reply just before a valid one is ignored, except a kiss-o'-death, which
// ends the attempt.
TEST_F(NetServices, OnlyAnSntpAnswerToOurRequestSetsTheClockToTheMiddleOfTheExchange)
{
    systemTime.step = 1s; // sent at 0 s, answer read at 1 s, clock set at 2 s
    StartSntp(ServerTime, {"good"});
    EXPECT_TRUE(sntp->SyncTime("127.0.0.1"));
    EXPECT_EQ(std::exchange(systemTime.set, {}), std::vector{ServerTime + 1500ms});
    StartSntp(systemTime.now + 900ms, {"good"}); // 0.4 s ahead of ours at the middle, 0.5 s
    EXPECT_TRUE(sntp->SyncTime("127.0.0.1"));
    EXPECT_TRUE(systemTime.set.empty());

    systemTime.step = {};
    const QStringList spoilt{"originate",  "other-port", "client-mode",      "version-2",
                             "leap-alarm", "stratum-16", "no-transmit-time", "47-bytes"};
    StartSntp(ServerTime, QStringList(spoilt).replaceInStrings(QRegularExpression("$"), "+good")
                              << "kiss-of-death+good");
    for (const QString& spoil : spoilt) {
        SCOPED_TRACE(spoil.toStdString());
        EXPECT_TRUE(sntp->SyncTime("127.0.0.1"));
        EXPECT_EQ(std::exchange(systemTime.set, {}), std::vector{ServerTime});
    }
    EXPECT_FALSE(sntp->SyncTime("127.0.0.1"));
    EXPECT_TRUE(systemTime.set.empty());
}
