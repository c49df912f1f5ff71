#include "app/DynDnsUpdate.h"

#include "app/Fmain.h"
#include "net/DynDnsRequest.h"
#include "platform/HttpClient.h"
#include "settings/RegVars.h"

DynDnsUpdate::DynDnsUpdate(TFormMain& form, platform::Pause& pause, CRegVars& settings,
                           platform::HttpClient& http)
    : RetriedOperation(form, pause), settings_(settings), http_(http)
{
}

DynDnsUpdate::~DynDnsUpdate() = default;

void DynDnsUpdate::Attempt(int attempt)
{
    // Read as each update starts, so that a change in the settings applies to the very next one.
    if (attempt == 0) {
        username_ = settings_.DynDNSUsername.Get();
        password_ = settings_.DynDNSPassword.Get();
        target_ = net::DynDnsUpdateTarget(settings_.DynDNSHostname.Get());
    }
    request_ = http_.Get(
        target_, username_, password_,
        [this](const std::string& body) {
            // Whatever the service answers, even a refusal in the text, ends the update.
            form_.AddProtocolLine("DynDNS Update: %s", body.c_str());
            Succeeded();
        },
        [this](const platform::NetworkError& error) {
            form_.AddProtocolLine("Error: %s", error.message.c_str());
            Failed();
        });
}
