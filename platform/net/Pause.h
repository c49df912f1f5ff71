#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace platform {

// Pauses between network attempts, replaceable in tests. The event loop runs on meanwhile, so the
// watch cycle, painting and menus go on.
class Pause {
public:
    virtual ~Pause() = default;
    // Calls `then` once `milliseconds` have passed, unless `owner` is destroyed first.
    virtual void After(std::uint32_t milliseconds, const QObject* owner,
                       std::function<void()> then) = 0;
};

// A single-shot timer on the caller's event loop.
class TimerPause final : public Pause {
public:
    void After(std::uint32_t milliseconds, const QObject* owner,
               std::function<void()> then) override
    {
        QTimer::singleShot(static_cast<int>(milliseconds), owner, std::move(then));
    }
};

} // namespace platform
