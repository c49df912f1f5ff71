#include "app/DynDnsUpdate.h"

#include "app/Fmain.h"
#include "net/DynDnsRequest.h"
#include "platform/net/HttpClient.h"
#include "settings/RangeCheck.h"
#include "settings/RegVars.h"

#include <string_view>
#include <vector>

DynDnsUpdate::DynDnsUpdate(TFormMain& form, platform::Pause& pause, CRegVars& settings,
                           platform::HttpClient& http)
    : RetriedOperation(form, pause), settings_(settings), http_(http)
{
}

DynDnsUpdate::~DynDnsUpdate() = default;

// The service refuses an update that lacks any of them; nothing is sent then, not even the
// credentials there are.
std::string DynDnsUpdate::MissingSettings() const
{
    std::vector<std::string_view> missing;
    for (const auto& [setting, caption] : {std::pair(&settings_.DynDNSHostname, "Hostname"),
                                           {&settings_.DynDNSUsername, "Username"},
                                           {&settings_.DynDNSPassword, "Password"}}) {
        if (TrimBlanks(setting->Get()).empty())
            missing.push_back(caption);
    }
    if (missing.empty())
        return {};
    std::string line = "DynDNS not updated: no ";
    for (std::size_t i = 0; i < missing.size(); ++i)
        line.append(i == 0 ? "" : i + 1 < missing.size() ? ", " : " or ").append(missing[i]);
    return line + " set (Settings, DynDNS).";
}

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
