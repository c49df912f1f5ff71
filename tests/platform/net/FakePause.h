#pragma once

#include "platform/net/Pause.h"

#include <vector>

namespace test {

// Records each pause and goes on at the event loop's next turn.
class FakePause final : public platform::Pause {
public:
    std::vector<std::uint32_t> pauses;
    void After(std::uint32_t milliseconds, const QObject* owner,
               std::function<void()> then) override
    {
        pauses.push_back(milliseconds);
        QTimer::singleShot(0, owner, std::move(then));
    }
};

} // namespace test
