#pragma once

#include <cstdint>

// What the link reported at one poll: bytes received and transmitted and milliseconds connected,
// all wrapping 32-bit counts since the connection was made.
struct LinkCounters {
    std::uint32_t received;
    std::uint32_t transmitted;
    std::uint32_t durationMs;
};

// The change between two polls of a connection that stayed up. A counter that wrapped past 2^32
// yields its difference modulo 2^32. A counter or duration that went back (a negative signed
// 32-bit difference) means the link was made anew between the polls: the new values themselves
// are then the change, so no phantom gigabytes are counted.
LinkCounters CounterDeltas(const LinkCounters& last, const LinkCounters& now);
