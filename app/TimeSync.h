#pragma once

#include "app/RetriedOperation.h"

#include <memory>
#include <string>

class CRegVars;

namespace platform {
class NetworkTask;
class SntpClient;
} // namespace platform

// Sets the clock from the time server of the settings; doubles as the keep-alive of a connected
// line.
class TimeSync final : public RetriedOperation {
public:
    TimeSync(TFormMain& form, platform::Pause& pause, CRegVars& settings,
             platform::SntpClient& sntp);
    ~TimeSync() override;

private:
    std::string MissingSettings() const override;
    void Attempt(int attempt) override;

    CRegVars& settings_;
    platform::SntpClient& sntp_;
    std::unique_ptr<platform::NetworkTask> exchange_;
};
