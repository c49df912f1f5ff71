#pragma once

#include "platform/desktop/Tray.h"
#include "platform/links/BootId.h"
#include "platform/links/RasApi.h"
#include "traffic/UsageSummary.h"

#include <QDate>
#include <QMainWindow>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CounterLabel;
class CRegVars;
class DynDnsUpdate;
struct PeriodSums;
class THistoryDisplay;
class TimeSync;
class TFormOptions;
class UsageHistoryWindow;
class QAction;
class QCloseEvent;
class QGroupBox;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;
class StatusLine;

namespace graph {
class HistoryImage;
} // namespace graph

namespace platform {
class Clock;
class DesktopNotifications;
class HttpClient;
class Pause;
class SntpClient;
} // namespace platform

// What the main window needs from outside: the settings and the operating-system services,
// passed in so that tests can hand it temporary and scripted ones.
struct FormMainServices {
    CRegVars& settings;
    platform::RasApi& ras;
    const platform::Clock& clock;
    platform::HttpClient& http;
    platform::SntpClient& sntp;
    platform::Pause& pause;
    platform::Tray& tray;
    platform::DesktopNotifications& notifications;
    std::filesystem::path bootIdFile = platform::BootIdFile;
};

// The program's one main window: counters, graph, protocol, menus, and the one-second watch cycle
// that drives everything.
class TFormMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TFormMain(const FormMainServices& services, QWidget* parent = nullptr);
    ~TFormMain() override;

    // Appends one line to the protocol; texts from outside only ever as a "%s" argument.
    void AddProtocolLine(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The watched connection, by the current `Connection` setting.
    platform::RasHandle FindConnection(bool checkState);
    bool ReadStatistics(platform::RasHandle connection, std::uint64_t& received,
                        std::uint64_t& transmitted, std::uint32_t& durationMs);

    // Counters: session sums in memory, overall sums in the store.
    std::uint64_t GetSumRX() const;
    std::uint64_t GetSumTX() const;
    void SetSumRX(std::uint64_t sum);
    void SetSumTX(std::uint64_t sum);
    // Bytes counted on `today`, the local day.
    void UpdateCounters(std::uint64_t deltaRX, std::uint64_t deltaTX, const QDate& today);
    std::int32_t LimitPercent() const;
    bool LimitReached() const;
    bool LimitCloseDue() const;

    void WatchTimerTimer();
    void Dial();
    void HangUp();
    void btConnectClick();
    void btDisconnectClick();
    // Shows the settings dialog and applies what changed when it closes with OK.
    void btOptionsClick();
    // Graph caption and scale from the settings, and a full redraw.
    void UpdateGraphScale();
    // Points the registered host name at this machine's address, with retries; returns at once,
    // the outcome goes to the protocol later.
    void miDNSUpdateClick();
    // Sets the clock from the time server, likewise; doubles as the keep-alive of a connected line.
    void miUpdateNTPClick();

    // Counter reset: ends the accounting period at `moment` (packed local date-time).
    void ResetTrafficCounter(std::uint32_t moment);
    void ShowTrafficSince();

    // Window commands
    void ApplyShowMore();
    void btShowMoreClick();
    void btResetOverallClick();
    // Asks before the window closes; a Yes removes the tray icon and ends the program.
    void FormClose(QCloseEvent& event);
    void miExitClick();
    void miInfoClick();

    // The tray icon: the line's state and the limit share at a glance, and the way back to the
    // window while it is hidden.
    // An entry of one table, so that the same icon is the same pointer.
    const char* ChooseTrayIcon(std::int32_t share) const;
    void TrayIconAdd();
    void TrayIconUpdate();
    void TrayIconDelete();
    void TrayIconMessage(platform::TrayMouse mouse);
    // Minimising hides the window into the tray, when there is one; "Show" brings it back.
    void HideWindow();
    void miShowClick();
    // Opens the Usage History window, or raises it when it is open already.
    void miUsageHistoryClick();

    bool IsConnected() const { return Connected; }
    bool IsKeepingConnection() const { return KeepingConnection; }

signals:
    // After each tick's counting, each reset and the settings' OK: what views of the usage read has
    // changed.
    void UsageCounted();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildLayout();
    void BuildMenus();
    void CentreOnScreen();
    void ShowMonitoringInfo();
    // The first look at the line, what it leads to at start, and the watch cycle from then on.
    void StartWatching();
    void TakeGraphSample();
    void ShowLimitHint(std::int32_t percentBefore);
    void CloseAtLimit();
    // A notice of the watch cycle: a desktop notification when the user asked for them, otherwise
    // a modal box; true for a notification, which has been sent when this returns. Where no
    // service takes it, the box follows.
    bool ShowNotice(const QString& text);
    void DynDNSAfterConnect();
    // The protocol's line for a hang-up's result.
    void HangUpAnswered(std::uint32_t result);
    // After a dial or hang-up the link service refused for want of a right: which, and where
    // granting it is explained.
    void ReportMissingRight(std::uint32_t error);
    void ResetTrafficCounterWhenDue(const QDateTime& now);
    // The status line from the overall sums and the limit settings; then the other views of the
    // usage follow (UsageCounted). Nothing to do while none of them changed, as on an idle tick.
    // `today` as the clock has it, unless given.
    void ShowUsage();
    void ShowUsage(const QDate& today);
    // The records of finished periods that are not in the traffic log yet.
    void WriteTrafficLog();
    // At start, on the watched connection just found up: adds what its link carried since the
    // last count, when it is provably the same link, to the sums and the day of that count in one
    // commit; returns the bytes added.
    std::uint64_t CountUncountedTraffic();
    // In the count's commit: the checkpoint for the link just read and the sums as they are now,
    // written when it changed.
    void KeepLinkCheckpoint();
    // The overall sums and their period, as the checkpoint holds them.
    PeriodSums Sums() const;
    // Says why a period's record could not be written: once a run for records kept in the store,
    // each time for one that is lost.
    void ReportUnwrittenRecord(const std::string& reason, bool kept);

    CRegVars& settings_;
    platform::RasApi& ras_;
    const platform::Clock& clock_;
    platform::Tray& tray_;
    platform::DesktopNotifications& notifications_;
    // One operation of each kind at a time; the window's end abandons them.
    std::unique_ptr<DynDnsUpdate> dynDnsUpdate_;
    std::unique_ptr<TimeSync> timeSync_;

    bool Connected = false;
    bool KeepingConnection = false;
    std::uint64_t LastRX = 0;
    std::uint64_t LastTX = 0;
    std::uint32_t LastDuration = 0;
    std::uint64_t SessionRX = 0;
    std::uint64_t SessionTX = 0;
    std::uint32_t SampleTicks = 0;
    std::uint32_t KeepAliveTicks = 0;
    std::uint32_t SampleDuration = 0;
    std::uint64_t SampleRX = 0;
    std::uint64_t SampleTX = 0;
    // Set once the application is asked to quit, as the session manager does at logout: the
    // program then ends without a question.
    bool QuitRequested = false;
    std::int32_t TrayPercent = 0;
    const char* TrayIconShown = nullptr;
    bool UnwrittenRecordReported = false;
    // What the usage views show now.
    UsageInput UsageShown;
    // A box stays until it is closed, and the next may follow while the line is still up at the
    // limit; a notification goes on its own, so one is sent for each stretch of connected ticks
    // at the limit, however long it lasts.
    bool LimitNoticeSent = false;
    bool MissingRightSaid = false;
    // Hang-ups whose answer has not come yet.
    int HangUpsAwaited = 0;
    std::string BootId;
    // The connection whose statistics were read last, and the day its last bytes were counted on.
    platform::RasHandle WatchedLink = 0;
    QDate CountedOn;
    std::vector<unsigned char> CheckpointBytes; // kept, so that a tick allocates nothing
    // The share of the limit before the bytes counted at start, which the first tick's hints
    // compare with.
    std::optional<std::int32_t> PercentBeforeGap;

public:
    // Controls, named as in the window's layout.
    QGroupBox* GroupBox1 = nullptr;
    CounterLabel* stSessionRX = nullptr;
    CounterLabel* stSessionTX = nullptr;
    CounterLabel* stSessionSum = nullptr;
    QGroupBox* gbTrafficOverall = nullptr;
    CounterLabel* stSumRX = nullptr;
    CounterLabel* stSumTX = nullptr;
    CounterLabel* stSum = nullptr;
    QGroupBox* gbHistory = nullptr;
    graph::HistoryImage* imgHistory = nullptr;
    std::unique_ptr<THistoryDisplay> historyDisplay;
    QPushButton* btConnect = nullptr;
    QPushButton* btDisconnect = nullptr;
    QPushButton* btShowMore = nullptr;
    QGroupBox* gbLog = nullptr;
    QListWidget* lbLog = nullptr;
    StatusLine* stUsage = nullptr; // in the status bar, below all of the above
    QMenu* pmTray = nullptr;
    QTimer* WatchTimer = nullptr;

    // The settings dialog, a child of this window made when it is first opened.
    TFormOptions* FormOptions = nullptr;
    // Made when it is first opened, so that a program that never shows it never reads the history.
    UsageHistoryWindow* usageHistoryWindow = nullptr;
};
