#pragma once

#include "platform/Pause.h"

#include <vector>

namespace test {

// Records each pause and returns at once.
class FakePause final : public platform::Pause {
public:
    std::vector<std::uint32_t> pauses;
    void Sleep(std::uint32_t milliseconds) override { pauses.push_back(milliseconds); }
};

} // namespace test
