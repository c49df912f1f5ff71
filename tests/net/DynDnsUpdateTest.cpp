#include "net/DynDnsRequest.h"
#include "net/NetServers.h"
#include "platform/NetworkError.h"

#include <QAction>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class DynDnsUpdate : public test::NetServers {
protected:
    void Update() { form->findChild<QAction*>("mimUpdateDynDNS")->trigger(); }
    void Store(const char* host, const char* user, const char* password)
    {
        settings->DynDNSHostname.Set(host);
        settings->DynDNSUsername.Set(user);
        settings->DynDNSPassword.Set(password);
    }
    // The request line as the server logs it, for `target` and `credentials`.
    static QString Request(const QString& target, const QString& credentials)
    {
        return target + "|" + credentials + "|Quillmar - Quillmar - 1.05|text/html, */*|text/html|";
    }
};

struct RetryRow {
    QStringList plan;
    QStringList protocol;
    std::size_t pauses;
};
void PrintTo(const RetryRow& row, std::ostream* out)
{
    *out << row.plan.join(", ").toStdString();
}

class DynDnsRetries : public DynDnsUpdate, public ::testing::WithParamInterface<RetryRow> {};

} // namespace

TEST(PercentEncode, KeepsOnlyUnreservedCharacters)
{
    const std::pair<const char*, const char*> rows[] = {
        {"home.example-1_~.org", "home.example-1_~.org"},
        {"a&myip=1.2.3.4#", "a%26myip%3D1.2.3.4%23"},
        {"a b?c/d%", "a%20b%3Fc%2Fd%25"},
        {"\x01\x7f\xc3\xa4", "%01%7F%C3%A4"},
        {"", ""},
    };
    for (const auto& [host, encoded] : rows)
        EXPECT_EQ(net::PercentEncode(host), encoded) << host;
}

// The host name, credentials and body of each run are those stored or sent at that moment;
// any reply ends the update after one request.
TEST_F(DynDnsUpdate, EachRunSendsTheStoredSettingsOnceAndLogsTheBodyAsIs)
{
    StartHttps({"200 good 127.0.0.1", "200 nochg 100%s %d"});
    Store("a&myip=1.2.3.4#", "alice", "pw:1");
    StartWindow();
    const qsizetype before = Protocol().size();
    Update();
    Store("", "bob", "pw2");
    Update();

    const QString target = "/nic/update?system=dyndns&hostname=";
    EXPECT_EQ(HttpsRequests(), QStringList({Request(target + "a%26myip%3D1.2.3.4%23", "alice:pw:1"),
                                            Request(target, "bob:pw2")}));
    EXPECT_EQ(Protocol().mid(before),
              QStringList({"DynDNS Update: good 127.0.0.1", "DynDNS Update: nochg 100%s %d"}));
    EXPECT_TRUE(pause.pauses.empty());
}

TEST_P(DynDnsRetries, FailuresAreLoggedAndRetriedFourTimesAtMost)
{
    StartHttps(GetParam().plan);
    StartWindow();
    const qsizetype before = Protocol().size();
    Update();
    EXPECT_EQ(Protocol().mid(before), GetParam().protocol);
    EXPECT_EQ(pause.pauses, std::vector<std::uint32_t>(GetParam().pauses, 2000));
    EXPECT_EQ(static_cast<std::size_t>(HttpsRequests().size()), GetParam().pauses + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Plans, DynDnsRetries,
    ::testing::Values(RetryRow{{"200 badauth"}, {"DynDNS Update: badauth"}, 0},
                      RetryRow{{"401"},
                               {"Error: HTTP/1.1 401 Unauthorized", "Trying again...",
                                "Error: HTTP/1.1 401 Unauthorized", "Trying again...",
                                "Error: HTTP/1.1 401 Unauthorized", "Trying again...",
                                "Error: HTTP/1.1 401 Unauthorized", "Giving up!"},
                               3},
                      RetryRow{{"401", "503", "200 good 127.0.0.1"},
                               {"Error: HTTP/1.1 401 Unauthorized", "Trying again...",
                                "Error: HTTP/1.1 503 Service Unavailable", "Trying again...",
                                "DynDNS Update: good 127.0.0.1"},
                               2}));

// At start with the line up and at each new connection, while automatic updates are on.
TEST_F(DynDnsUpdate, RunsAfterEachConnectOnlyWhileAutomatic)
{
    StartHttps({"200 good 127.0.0.1"});
    settings->DynDNSAutoUpdate.Set(1);
    ConnectLine();
    StartWindow();
    EXPECT_EQ(HttpsRequests().size(), 1);
    DropLine();
    Tick();
    ConnectLine();
    Tick();
    EXPECT_EQ(HttpsRequests().size(), 2);
    settings->DynDNSAutoUpdate.Set(0);
    DropLine();
    Tick();
    ConnectLine();
    Tick();
    EXPECT_EQ(HttpsRequests().size(), 2);
}

TEST_F(DynDnsUpdate, ReplyBodyIsCappedAt64KiB)
{
    StartHttps({"200 " + QString(65536, 'x'), "200 " + QString(65537, 'x')});
    EXPECT_EQ(http->Get("/", "", "").size(), 65536u);
    EXPECT_THROW(http->Get("/", "", ""), platform::NetworkError);
}

// An untrusted certificate ends the request before any credentials leave; a server that never
// answers ends it at the time-out.
TEST_F(DynDnsUpdate, UntrustedOrSilentServersFailWithoutHanging)
{
    StartHttps({"200 good"});
    const platform::HttpClient systemTrust(HttpsBase());
    EXPECT_THROW(systemTrust.Get("/", "alice", "secret"), platform::NetworkError);
    EXPECT_TRUE(HttpsRequests().empty());

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(listener, 1); // never accepted: the handshake gets no answer
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const platform::HttpClient silent("https://127.0.0.1:" +
                                      std::to_string(ntohs(address.sin_port)));
    EXPECT_THROW(silent.Get("/", "", ""), platform::NetworkError);
    ::close(listener);
}
