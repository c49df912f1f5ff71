#include "net/DynDnsRequest.h"
#include "net/NetServers.h"
#include "platform/NetworkError.h"

#include <QAction>

namespace {

class DynDnsUpdate : public test::NetServers {
protected:
    // Runs the update from the menu and returns the protocol lines it wrote.
    QStringList Update()
    {
        const qsizetype before = Protocol().size();
        form->findChild<QAction*>("mimUpdateDynDNS")->trigger();
        return Protocol().mid(before);
    }
};

struct RetryRow {
    QStringList plan;
    QStringList protocol;
    std::size_t pauses;
};

class DynDnsRetries : public DynDnsUpdate, public ::testing::WithParamInterface<RetryRow> {};

const QString Refused = "Error: HTTP/1.1 401 Unauthorized";

} // namespace

TEST(PercentEncode, KeepsOnlyUnreservedCharacters)
{
    EXPECT_EQ(net::PercentEncode("home.example-1_~.org"), "home.example-1_~.org");
    EXPECT_EQ(net::PercentEncode("a b?c/d%\x01\x7f\xc3\xa4"), "a%20b%3Fc%2Fd%25%01%7F%C3%A4");
}

// Any reply ends the update after one request; a failure is retried after a pause, four
// attempts at most.
TEST_P(DynDnsRetries, LogsEachAttemptUntilAReply)
{
    StartHttps(GetParam().plan);
    StartWindow();
    EXPECT_EQ(Update(), GetParam().protocol);
    EXPECT_EQ(pause.pauses, std::vector<std::uint32_t>(GetParam().pauses, 2000));
    EXPECT_EQ(Requests().size(), static_cast<qsizetype>(GetParam().pauses + 1));
}

INSTANTIATE_TEST_SUITE_P(
    Plans, DynDnsRetries,
    ::testing::Values(RetryRow{{"200 badauth"}, {"DynDNS Update: badauth"}, 0},
                      RetryRow{{"401"},
                               {Refused, "Trying again...", Refused, "Trying again...", Refused,
                                "Trying again...", Refused, "Giving up!"},
                               3},
                      RetryRow{{"401", "503", "200 good 127.0.0.1"},
                               {Refused, "Trying again...",
                                "Error: HTTP/1.1 503 Service Unavailable", "Trying again...",
                                "DynDNS Update: good 127.0.0.1"},
                               2}));

// Host name and credentials are read at each update; the host name cannot add a parameter.
TEST_F(DynDnsUpdate, SendsTheStoredSettingsAndLogsTheBodyAsIs)
{
    StartHttps({"200 good 127.0.0.1", "200 nochg 100%s %d"});
    settings->DynDNSHostname.Set("a&myip=1.2.3.4#");
    settings->DynDNSUsername.Set("alice");
    settings->DynDNSPassword.Set("pw:1");
    StartWindow();
    EXPECT_EQ(Update(), QStringList("DynDNS Update: good 127.0.0.1"));
    settings->DynDNSHostname.Set("");
    settings->DynDNSUsername.Set("bob");
    EXPECT_EQ(Update(), QStringList("DynDNS Update: nochg 100%s %d"));

    const QString fixed = "|Quillmar - Quillmar - 1.05|text/html, */*|text/html|";
    EXPECT_EQ(
        Requests(),
        QStringList({"/nic/update?system=dyndns&hostname=a%26myip%3D1.2.3.4%23|alice:pw:1" + fixed,
                     "/nic/update?system=dyndns&hostname=|bob:pw:1" + fixed}));
}

TEST_F(DynDnsUpdate, RunsAfterEachConnectWhileAutomatic)
{
    StartHttps({"200 good 127.0.0.1"});
    settings->DynDNSAutoUpdate.Set(1);
    ConnectLine();
    StartWindow();
    for (const std::uint32_t automatic : {1, 0}) {
        settings->DynDNSAutoUpdate.Set(automatic);
        DropLine();
        Tick();
        ConnectLine();
        Tick();
    }
    EXPECT_EQ(Requests().size(), 2); // at start and at the first reconnection
}

// Untrusted or for another name: refused before any credentials leave. Silent: given up at the
// time-out.
TEST_F(DynDnsUpdate, UntrustedSilentAndOverlongRepliesFail)
{
    StartHttps({"200 " + QString(65536, 'x'), "200 " + QString(65537, 'x')});
    EXPECT_EQ(http->Get("/", "", "").size(), 65536u);
    EXPECT_THROW(http->Get("/", "", ""), platform::NetworkError);
    EXPECT_THROW(platform::HttpClient(httpsBase).Get("/", "alice", "pw"), platform::NetworkError);
    const std::string otherName = "https://localhost" + httpsBase.substr(httpsBase.rfind(':'));
    EXPECT_THROW(platform::HttpClient(otherName, caFile).Get("/", "alice", "pw"),
                 platform::NetworkError);
    EXPECT_EQ(Requests().size(), 2);
    const std::string silent = "https://127.0.0.1:" + std::to_string(StartServer("silent"));
    EXPECT_THROW(platform::HttpClient(silent).Get("/", "", ""), platform::NetworkError);
}
