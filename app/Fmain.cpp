#include "app/Fmain.h"

#include "app/DynDnsUpdate.h"
#include "app/TimeSync.h"
#include "graph/HistoryDisplay.h"
#include "platform/desktop/Clock.h"
#include "settings/RegVars.h"
#include "traffic/ByteFormat.h"
#include "traffic/PackedDateTime.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QTimer>

TFormMain::TFormMain(const FormMainServices& services, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      settings_(services.settings), ras_(services.ras), clock_(services.clock),
      tray_(services.tray), notifications_(services.notifications),
      dynDnsUpdate_(
          std::make_unique<DynDnsUpdate>(*this, services.pause, settings_, services.http)),
      timeSync_(std::make_unique<TimeSync>(*this, services.pause, settings_, services.sntp)),
      BootId(platform::ReadBootId(services.bootIdFile))
{
    setWindowTitle("Quillmar V1.05");
    BuildLayout();
    BuildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize); // a single, non-resizable border
    adjustSize();

    WatchTimer = new QTimer(this);
    WatchTimer->setObjectName("WatchTimer");
    WatchTimer->setInterval(1000);
    // Not Qt's coarse default, which may fire 50 ms late: what a kill loses is what crossed the
    // link since the last tick's commit, one second at most.
    WatchTimer->setTimerType(Qt::PreciseTimer);
    // Queued, so that the timer's own event has returned before the cycle runs: Qt does not
    // deliver a timer again while its handler is still on the stack, and a box opened by the
    // cycle would otherwise stop the counting until it is closed.
    connect(WatchTimer, &QTimer::timeout, this, &TFormMain::WatchTimerTimer, Qt::QueuedConnection);
    QCoreApplication::instance()->installEventFilter(this);

    CentreOnScreen();
    TrayIconAdd();

    historyDisplay = std::make_unique<THistoryDisplay>(*imgHistory);
    UpdateGraphScale();

    if (!settings_.Registry.IsOpen())
        AddProtocolLine("Counts and settings will not be saved: %s",
                        settings_.Registry.OpenError().c_str());

    if (settings_.LimitLastReset.Get() == 0) {
        settings_.LimitLastReset.Set(DateTimeToPacked(clock_.Now()));
        AddProtocolLine("Saved the very first start time");
    }
    ShowTrafficSince();

    ShowMonitoringInfo();
    UpdateCounters(0, 0, clock_.Now().date());
    ApplyShowMore();
    // The window is shown meanwhile; the first look at the line waits for nothing.
    ras_.WhenReady(this, [this] { StartWatching(); });
}

TFormMain::~TFormMain() = default;

void TFormMain::StartWatching()
{
    WatchTimer->start(); // its first tick comes after what follows, even after a dial at start
    Connected = ReadStatistics(FindConnection(true), LastRX, LastTX, LastDuration);
    const std::uint64_t uncounted = Connected ? CountUncountedTraffic() : 0;
    // A line already up counts from program start: its earlier bytes become the last values.
    if (Connected) {
        AddProtocolLine("We are currently connected");
        DynDNSAfterConnect();
    } else {
        AddProtocolLine("We are currently disconnected");
    }

    UpdateCounters(0, 0, clock_.Now().date());

    if (Connected) {
        KeepingConnection = settings_.KeepConnected.Get() != 0;
    } else {
        KeepingConnection = false;
        if (settings_.AutoConnect.Get() != 0)
            Dial();
    }
    WriteTrafficLog(); // what a log that could not be written, or a kill, left for later
    // Until a connection is chosen nothing is counted, and nothing else says so.
    if (*settings_.Connection.Get() == '\0')
        AddProtocolLine("Choose the connection to watch under Settings, Connection.");
    if (uncounted > 0)
        AddProtocolLine("Counted %s Bytes that crossed while Quillmar was not running.",
                        FormatBytes(static_cast<std::int64_t>(uncounted)).c_str());
}

void TFormMain::CentreOnScreen()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QSize outer = frameGeometry().size();
    move((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2);
}

void TFormMain::ShowMonitoringInfo()
{
    AddProtocolLine("Monitoring RAS connection \"%s\".", settings_.Connection.Get());
    AddProtocolLine("Maximum traffic is %d MByte.", static_cast<int>(settings_.TrafficLimit.Get()));
}
