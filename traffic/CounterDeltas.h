#pragma once

#include <cstdint>

// What the link reported at one poll since the connection was made: bytes received and
// transmitted as 64-bit counts, milliseconds connected as a 32-bit count that wraps.
struct LinkCounters {
    std::uint64_t received;
    std::uint64_t transmitted;
    std::uint32_t durationMs;
};

// The change between two polls of a connection that stayed up, however far apart they are. A
// duration that wrapped past 2^32 yields its difference modulo 2^32. A byte counter that went
// back, or a duration that did (a negative signed 32-bit difference), means the link was made
// anew between the polls: the new values themselves are then the change, so no phantom
// gigabytes are counted.
LinkCounters CounterDeltas(const LinkCounters& last, const LinkCounters& now);
