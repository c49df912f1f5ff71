#pragma once

namespace platform {

// One network exchange under way on the event loop. Destroying it abandons the exchange: its
// transfer and timers stop, and its callbacks are never called.
class NetworkTask {
public:
    virtual ~NetworkTask() = default;
};

} // namespace platform
