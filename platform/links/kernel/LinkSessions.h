#pragma once

#include "platform/links/RasApi.h"
#include "platform/links/kernel/LinkMessages.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

namespace platform {

// Follows links from one poll to the next, so that each connection's byte counts and connect time
// start when that connection began.
//
// Kernel counters live as long as the interface, not the connection: a link brought down and up
// keeps counting. So a connection's counters start from the link's counters when it was last
// seen not connected (nothing flows then), from 0 for a link created since the last exhaustive
// poll (it counts from its creation, as a dial-up device does), and otherwise from the moment it
// is first seen, so that no earlier traffic is ever counted as new. Its connect time starts with
// its counters: a connection that began since the previous poll counts from that one, so that its
// first bytes are not taken to have flowed in no time at all.
class LinkSessions {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    struct Sighting {
        LinkRecord link;
        bool connected = false;
        // A link keeps its session while it stays in the same phase: connected to the same
        // connection, or in the same state of not being connected.
        std::uint64_t phase = 0;
    };

    struct Session : Sighting {
        // When the link entered its present phase.
        TimePoint since;
        // The link's counters when this connection began.
        std::uint64_t baseReceived = 0;
        std::uint64_t baseTransmitted = 0;
    };

    // Takes the next poll, sorted by link index. `exhaustive`: every link there is was seen, so a
    // link missing from an exhaustive poll before it was created in between.
    void Take(std::span<const Sighting> seen, TimePoint now, bool exhaustive);
    // A poll that failed: links then seen are not known to be new.
    void Lose();

    const Session* Find(std::uint32_t index) const;
    std::span<const Session> Sessions() const { return sessions_; }
    TimePoint Time() const { return time_; }
    // Bytes since the connection began, and milliseconds connected as a 32-bit count that wraps.
    RasStats Statistics(const Session& session) const;

private:
    std::vector<Session> sessions_;
    std::vector<Session> previous_;
    bool previousExhaustive_ = false;
    TimePoint time_;
};

} // namespace platform
