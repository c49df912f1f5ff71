#include "app/RetriedOperation.h"

#include "app/Fmain.h"
#include "platform/net/Pause.h"

namespace {

constexpr int Attempts = 4;
constexpr std::uint32_t RetryPauseMs = 2000;

} // namespace

RetriedOperation::RetriedOperation(TFormMain& form, platform::Pause& pause)
    : form_(form), pause_(pause)
{
}

void RetriedOperation::Run()
{
    if (running_)
        return;
    if (const std::string missing = MissingSettings(); !missing.empty())
        return form_.AddProtocolLine("%s", missing.c_str());
    running_ = true;
    attempt_ = 0;
    Attempt(attempt_);
}

void RetriedOperation::Succeeded()
{
    running_ = false;
}

void RetriedOperation::Failed()
{
    if (attempt_ == Attempts - 1)
        return GiveUp();
    form_.AddProtocolLine("Trying again...");
    pause_.After(RetryPauseMs, &pauseOwner_, [this] { Attempt(++attempt_); });
}

void RetriedOperation::GiveUp()
{
    form_.AddProtocolLine("Giving up!");
    running_ = false;
}
