#include "app/Fmain.h"
#include "platform/Clock.h"
#include "platform/DesktopNotifications.h"
#include "platform/HttpClient.h"
#include "platform/KernelLinks.h"
#include "platform/Pause.h"
#include "platform/SntpClient.h"
#include "platform/SystemTime.h"
#include "platform/SystemTray.h"
#include "settings/RegVars.h"

#include <QTemporaryDir>
#include <QTimer>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The main window watching the loopback link on a temporary store, with real kernel links.
struct WatchedLoopback {
    WatchedLoopback()
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
            state.SkipWithError("lo is not up in this namespace");
        return !form.IsConnected();
    }

    // One datagram, so that both directions move and the tick writes all four counters.
    void SendTraffic(benchmark::State& state)
    {
        state.PauseTiming();
        ::sendto(socket, "quillmar", 8, 0, reinterpret_cast<const sockaddr*>(&target),
                 sizeof target);
        state.ResumeTiming();
    }

    QTemporaryDir dir;
    CRegVars settings{dir.filePath("registry.sqlite3").toStdString()};
    bool watchesLoopback = settings.Connection.Set("lo"); // before the window's first probe
    bool infoSeen = settings.InfoShown.Set(1);            // no box at the first tick
    platform::KernelLinks links;
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
    WatchedLoopback watched;
    if (watched.Skipped(state))
        return;
    for (auto _ : state) {
        watched.SendTraffic(state);
        std::uint64_t received = 0, transmitted = 0;
        std::uint32_t duration = 0;
        watched.form.ReadStatistics(watched.form.FindConnection(true), received, transmitted,
                                    duration);
        watched.form.UpdateCounters(100, 100);
    }
}
BENCHMARK(BM_ProbeAndUpdateCounters);

// One full watch tick while connected with traffic: probe, deltas, four store writes, labels,
// and a graph sample every second tick.
static void BM_WatchTick(benchmark::State& state)
{
    WatchedLoopback watched;
    if (watched.Skipped(state))
        return;
    for (auto _ : state) {
        watched.SendTraffic(state);
        watched.form.WatchTimerTimer();
    }
}
BENCHMARK(BM_WatchTick);
