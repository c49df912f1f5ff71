// The one-second watch cycle: probe, count, announce, redial, warn and close at the limit.
#include "app/Fmain.h"
#include "platform/desktop/Clock.h"
#include "platform/desktop/DesktopNotifications.h"
#include "platform/desktop/MessageBox.h"
#include "settings/RegVars.h"
#include "traffic/CounterDeltas.h"
#include "traffic/LinkProbe.h"

#include <array>
#include <utility>

namespace {

// Highest first, so that a jump across several thresholds gives one hint, for the highest.
constexpr std::array LimitHints{98, 90, 70};

// The keep-alive period is set in minutes and counted in one-second ticks.
constexpr std::uint32_t TicksPerMinute = 60;

// True while the limit box is open; a nested tick must not open a second one.
bool LimitBoxOpen = false;

} // namespace

void TFormMain::WatchTimerTimer()
{
    // Stored before the box opens, so that the ticks going on behind it do not open it again.
    if (settings_.InfoShown.Get() == 0) {
        settings_.InfoShown.Set(1);
        miInfoClick();
    }
    const std::int32_t percentBefore =
        std::exchange(PercentBeforeGap, std::nullopt).value_or(LimitPercent());
    const bool wasConnected = Connected;

    LinkCounters now{};
    Connected = ReadStatistics(FindConnection(true), now.received, now.transmitted, now.durationMs);
    const LinkCounters delta =
        Connected ? CounterDeltas({LastRX, LastTX, LastDuration}, now) : LinkCounters{};
    LastRX = now.received;
    LastTX = now.transmitted;
    LastDuration = now.durationMs;
    SampleRX += delta.received;
    SampleTX += delta.transmitted;
    SampleDuration += delta.durationMs;

    // A new connection's session starts at zero before its first bytes are counted, so every
    // byte enters the overall sums exactly once.
    if (Connected && !wasConnected) {
        SessionRX = 0;
        SessionTX = 0;
    }
    // The clock is read once for what the tick counts and checks, so that its bytes, the status
    // line and the reset rule go by the same day, even at midnight.
    const QDateTime tickTime = clock_.Now();
    UpdateCounters(delta.received, delta.transmitted, tickTime.date());

    TakeGraphSample();
    TrayIconUpdate();

    if (!Connected) {
        LimitNoticeSent = false;
        if (wasConnected)
            AddProtocolLine("Now, we are disconnected");
        // A line still listed, being set up or dead, leaves nothing to dial: it is waited on
        // without a word until its carrier returns, not refused in the protocol every second.
        if (KeepingConnection && !LimitCloseDue() && FindConnection(false) == InvalidConnection)
            Dial();
        return;
    }

    if (!wasConnected) {
        AddProtocolLine("---------------------------------------------------");
        AddProtocolLine("Now, we are connected");
        DynDNSAfterConnect();
        KeepAliveTicks = 0;
        if (settings_.KeepConnected.Get() != 0) {
            KeepingConnection = true;
            AddProtocolLine("Quillmar will keep the connection.");
        }
    }

    ++KeepAliveTicks;
    if (settings_.KeepAliveEnabled.Get() != 0 &&
        KeepAliveTicks >= settings_.KeepAliveTime.Get() * TicksPerMinute) {
        miUpdateNTPClick();
        KeepAliveTicks = 0;
    }
    ResetTrafficCounterWhenDue(tickTime);

    if (settings_.OnLimitShowMessage.Get() != 0)
        ShowLimitHint(percentBefore);
    if (LimitCloseDue())
        CloseAtLimit();
    else
        LimitNoticeSent = false;
}

void TFormMain::ShowLimitHint(std::int32_t percentBefore)
{
    const std::int32_t percentNow = LimitPercent();
    for (const int threshold : LimitHints) {
        if (percentBefore < threshold && threshold <= percentNow) {
            const QString text = QString::asprintf("Traffic has now reached %d%%.", percentNow);
            AddProtocolLine("%s", text.toUtf8().constData());
            ShowNotice(text);
            return;
        }
    }
}

// Not again while the last close awaits its answer: each line of it is followed by its result.
void TFormMain::CloseAtLimit()
{
    if (HangUpsAwaited > 0)
        return;
    AddProtocolLine("Traffic limit has been reached. Closing connection...");
    HangUp();
    if (LimitBoxOpen || LimitNoticeSent)
        return;
    LimitBoxOpen = true;
    LimitNoticeSent = ShowNotice("Traffic limit has been reached! Connection has been closed.");
    LimitBoxOpen = false;
}

bool TFormMain::ShowNotice(const QString& text)
{
    const auto box = [this, text] {
        platform::ShowMessageBox(this, text, "Info", platform::MbIconInformation);
    };
    if (settings_.HintsAsNotifications.Get() == 0) {
        box();
        return false;
    }
    // The box, then, comes a moment later, once the bus has answered that nobody took the notice.
    notifications_.Notify(text, this, box);
    return true;
}
