#pragma once

#include "app/RetriedOperation.h"

#include <memory>
#include <string>

class CRegVars;

namespace platform {
class HttpClient;
class NetworkTask;
} // namespace platform

// Points the registered host name at this machine's address: one request of the dyndns2
// protocol, whose answer goes to the protocol as it is.
class DynDnsUpdate final : public RetriedOperation {
public:
    DynDnsUpdate(TFormMain& form, platform::Pause& pause, CRegVars& settings,
                 platform::HttpClient& http);
    ~DynDnsUpdate() override;

private:
    std::string MissingSettings() const override;
    void Attempt(int attempt) override;

    CRegVars& settings_;
    platform::HttpClient& http_;
    std::string username_;
    std::string password_;
    std::string target_;
    std::unique_ptr<platform::NetworkTask> request_;
};
