#include "app/TimeSync.h"

#include "app/Fmain.h"
#include "platform/net/SntpClient.h"
#include "settings/RangeCheck.h"
#include "settings/RegVars.h"

TimeSync::TimeSync(TFormMain& form, platform::Pause& pause, CRegVars& settings,
                   platform::SntpClient& sntp)
    : RetriedOperation(form, pause), settings_(settings), sntp_(sntp)
{
}

TimeSync::~TimeSync() = default;

// Without a server there is no one to ask, from the menu or for the keep-alive.
std::string TimeSync::MissingSettings() const
{
    if (!TrimBlanks(settings_.KeepAliveHost.Get()).empty())
        return {};
    return "Time not synchronized: no NTP server set (Settings, Connection).";
}

void TimeSync::Attempt(int)
{
    // The host is read at every attempt, so that a change in the settings applies at once.
    exchange_ = sntp_.SyncTime(settings_.KeepAliveHost.Get(), [this](const auto& result) {
        using Outcome = platform::TimeSyncResult::Outcome;
        switch (result.outcome) {
        case Outcome::ClockSet:
            form_.AddProtocolLine("Time Sync: OK");
            return Succeeded();
        case Outcome::NotSet:
            form_.AddProtocolLine("Time Sync: Failed");
            return Failed();
        case Outcome::Failed:
        case Outcome::KissOfDeath:
            form_.AddProtocolLine("Time sync failed. Error: %s", result.error.c_str());
            // A server that asked us to go away hears no more from this operation.
            return result.outcome == Outcome::KissOfDeath ? GiveUp() : Failed();
        }
    });
}
