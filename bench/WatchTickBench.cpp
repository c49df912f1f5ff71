#include "app/Fmain.h"
#include "platform/desktop/Clock.h"
#include "platform/desktop/DesktopNotifications.h"
#include "platform/desktop/SystemTray.h"
#include "platform/links/kernel/KernelLinks.h"
#include "platform/links/networkmanager/NetworkManagerLinks.h"
#include "platform/links/networkmanager/NetworkManagerMock.h"
#include "platform/net/HttpClient.h"
#include "platform/net/Pause.h"
#include "platform/net/SntpClient.h"
#include "platform/net/SystemTime.h"
#include "settings/RegVars.h"

#include <QTemporaryDir>
#include <QTimer>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The main window watching `connection` on a temporary store through `links`, its traffic on the
// loopback link.
struct WatchedLoopback {
    WatchedLoopback(platform::RasApi& links, const char* connection)
        : watches(settings.Connection.Set(connection)), links(links)
    {
        form.WatchTimer->stop();
        target.sin_family = AF_INET;
        target.sin_port = htons(9); // nobody listens: the datagram still crosses lo both ways
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~WatchedLoopback() { ::close(socket); }

    bool Skipped(benchmark::State& state) const
    {
        if (!form.IsConnected())
            state.SkipWithError("the watched connection is not up");
        return !form.IsConnected();
    }

    // One datagram, so that both directions move and the tick writes all four counters.
    void SendTraffic(benchmark::State& state, std::size_t bytes)
    {
        state.PauseTiming();
        const std::string payload(bytes, 'q');
        ::sendto(socket, payload.data(), bytes, 0, reinterpret_cast<const sockaddr*>(&target),
                 sizeof target);
        state.ResumeTiming();
    }

    // Watch ticks, each after a datagram of `bytes`, or of none on a quiet line.
    void Ticks(benchmark::State& state, std::size_t bytes)
    {
        if (Skipped(state))
            return;
        for (auto _ : state) {
            if (bytes > 0)
                SendTraffic(state, bytes);
            form.WatchTimerTimer();
        }
    }

    QTemporaryDir dir;
    CRegVars settings{dir.filePath("registry.sqlite3").toStdString()};
    bool watches;                              // before the window's first probe
    bool infoSeen = settings.InfoShown.Set(1); // no box at the first tick
    platform::RasApi& links;
    platform::SystemClock clock;
    // Neither network command runs in these ticks: keep-alive and DynDNS are off by default.
    platform::HttpClient http{"127.0.0.1:9"};
    platform::RealtimeClock systemTime;
    platform::SntpClient sntp{systemTime, 9};
    platform::TimerPause pause;
    platform::SystemTray tray;
    platform::DesktopNotifications notifications{QDBusConnection(QString())}; // hints are boxes
    TFormMain form{
        FormMainServices{settings, links, clock, http, sntp, pause, tray, notifications}};
    int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in target{};
};

} // namespace

// One probe of a real link and one counter update with traffic: four store writes, six labels.
static void BM_ProbeAndUpdateCounters(benchmark::State& state)
{
    platform::KernelLinks links;
    WatchedLoopback watched(links, "lo");
    if (watched.Skipped(state))
        return;
    for (auto _ : state) {
        watched.SendTraffic(state, 8);
        std::uint64_t received = 0, transmitted = 0;
        std::uint32_t duration = 0;
        watched.form.ReadStatistics(watched.form.FindConnection(true), received, transmitted,
                                    duration);
        watched.form.UpdateCounters(100, 100, watched.clock.Now().date());
    }
}
BENCHMARK(BM_ProbeAndUpdateCounters);

// One full watch tick while connected with traffic: probe, deltas, the store's writes, labels,
// and a graph sample every second tick.
static void BM_WatchTick(benchmark::State& state)
{
    platform::KernelLinks links;
    WatchedLoopback(links, "lo").Ticks(state, 8);
}
BENCHMARK(BM_WatchTick);

// The same with the share of the limit one per cent higher at every tick, as on a fast line: the
// tray's tip, and so its icon, is set anew each time.
static void BM_WatchTickShareMoves(benchmark::State& state)
{
    platform::KernelLinks links;
    WatchedLoopback watched(links, "lo");
    watched.settings.TrafficLimit.Set(1);       // MB: each tick's 2 x 5000 bytes are 1 %
    watched.settings.OnLimitShowMessage.Set(0); // no box at 70 %
    watched.Ticks(state, 5000);
}
BENCHMARK(BM_WatchTickShareMoves);

// A tick on a line that carries nothing: nothing to count, store or show.
static void BM_WatchTickQuiet(benchmark::State& state)
{
    platform::KernelLinks links;
    WatchedLoopback(links, "lo").Ticks(state, 0);
}
BENCHMARK(BM_WatchTickQuiet);

// BM_WatchTick through NetworkManager: python3-dbusmock's on a private bus, a modem whose IP
// interface is lo, its profile activated before the window starts.
static void BM_WatchTickNetworkManager(benchmark::State& state)
{
    using Mock = test::NetworkManagerMock;
    std::optional<Mock> nm;
    try {
        nm.emplace();
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
        return;
    }
    nm->Mock("AddModemDevice", {"modem0", "cdc-wdm0", "lo"});
    const QString profile = nm->AddProfile("Loopback", "gsm");
    nm->Call(Mock::ManagerPath, Mock::Service, "ActivateConnection",
             {Mock::Path(profile), Mock::Path("/"), Mock::Path("/")});
    nm->SetState(profile, Mock::Activated);
    platform::NetworkManagerLinks links(nm->Bus());
    WatchedLoopback(links, "Loopback").Ticks(state, 8);
}
BENCHMARK(BM_WatchTickNetworkManager);
