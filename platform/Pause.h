#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

namespace platform {

// Pauses between network attempts, replaceable in tests.
class Pause {
public:
    virtual ~Pause() = default;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// Blocks the calling thread and dispatches nothing meanwhile: no tick runs during a pause.
class ThreadPause final : public Pause {
public:
    void Sleep(std::uint32_t milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

} // namespace platform
