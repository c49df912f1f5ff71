#pragma once

#include <QObject>
#include <string>

class TFormMain;

namespace platform {
class Pause;
} // namespace platform

// One kind of the window's network operations: up to four attempts, each failure followed by
// "Trying again..." and a pause, the last by "Giving up!". One runs at a time, and destroying it
// abandons the one under way.
class RetriedOperation {
public:
    RetriedOperation(TFormMain& form, platform::Pause& pause);
    virtual ~RetriedOperation() = default;
    RetriedOperation(const RetriedOperation&) = delete;
    RetriedOperation& operator=(const RetriedOperation&) = delete;

    // Starts the first attempt; while an operation of this kind is under way, nothing. Without
    // the settings it needs, it only says which are missing.
    void Run();

protected:
    // The protocol line naming the settings the operation lacks, or empty when it can run.
    virtual std::string MissingSettings() const = 0;
    // Starts attempt `attempt`, from 0; it ends in Succeeded(), Failed() or GiveUp().
    virtual void Attempt(int attempt) = 0;
    void Succeeded();
    void Failed();
    // Ends the operation at once, whatever attempts are left.
    void GiveUp();

    TFormMain& form_;

private:
    platform::Pause& pause_;
    int attempt_ = 0;
    bool running_ = false;
    QObject pauseOwner_; // a pause under way ends with the operation
};
