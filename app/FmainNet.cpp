// The network commands: the dynamic-DNS update and the time synchronisation, each tried up to four
// times. Only network failures are retried; any other exception is a fault and goes on up.
#include "app/Fmain.h"
#include "net/DynDnsRequest.h"
#include "platform/HttpClient.h"
#include "platform/NetworkError.h"
#include "platform/Pause.h"
#include "platform/SntpClient.h"
#include "settings/RegVars.h"

#include <string>

namespace {

constexpr int Attempts = 4;
constexpr std::uint32_t RetryPauseMs = 2000;

} // namespace

void TFormMain::miDNSUpdateClick()
{
    // Read now, so that a change in the settings applies to the very next update.
    const std::string username = settings_.DynDNSUsername.Get();
    const std::string password = settings_.DynDNSPassword.Get();
    const std::string target = net::DynDnsUpdateTarget(settings_.DynDNSHostname.Get());
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        try {
            // Whatever the service answers, even a refusal in the text, ends the update.
            const std::string body = http_.Get(target, username, password);
            AddProtocolLine("DynDNS Update: %s", body.c_str());
            return;
        } catch (const platform::NetworkError& error) {
            AddProtocolLine("Error: %s", error.what());
        }
        AfterFailedAttempt(attempt);
    }
}

void TFormMain::miUpdateNTPClick()
{
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        try {
            if (sntp_.SyncTime(settings_.KeepAliveHost.Get())) {
                AddProtocolLine("Time Sync: OK");
                return;
            }
            AddProtocolLine("Time Sync: Failed");
        } catch (const platform::NetworkError& error) {
            AddProtocolLine("Time sync failed. Error: %s", error.what());
        }
        AfterFailedAttempt(attempt);
    }
}

void TFormMain::DynDNSAfterConnect()
{
    if (settings_.DynDNSAutoUpdate.Get() != 0)
        miDNSUpdateClick();
}

void TFormMain::AfterFailedAttempt(int attempt)
{
    if (attempt < Attempts - 1) {
        AddProtocolLine("Trying again...");
        pause_.Sleep(RetryPauseMs);
    } else {
        AddProtocolLine("Giving up!");
    }
}
