#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// The SNTP exchange as bytes: the request we send and the checks a reply must pass before its
// time is trusted. No sockets here, so every check can be driven directly.
namespace net {

// Seconds since 1900 in the high 32 bits, the binary fraction of a second in the low 32 bits.
using NtpTimestamp = std::uint64_t;

constexpr std::size_t SntpPacketSize = 48;

// A client request (version 4, mode 3) carrying `transmit`, which the server echoes back as the
// reply's originate timestamp.
std::array<std::uint8_t, SntpPacketSize> SntpRequest(NtpTimestamp transmit);

enum class SntpVerdict {
    Accepted,
    KissOfDeath, // the server answered our request but tells us to go away: no time today
    Ignored,     // not a usable answer to our request; keep waiting for one
};

struct SntpReply {
    SntpVerdict verdict = SntpVerdict::Ignored;
    NtpTimestamp receive = 0;  // when the server got the request
    NtpTimestamp transmit = 0; // when the server sent the reply
    std::string kissCode;      // a kiss-o'-death's reason, such as "RATE" or "DENY"
};

// Checks `packet` as the answer to a request sent with `sentTransmit`.
SntpReply CheckSntpReply(std::span<const std::uint8_t> packet, NtpTimestamp sentTransmit);

// How far our clock is behind the server's, from the exchange's four moments: the server's time
// counts for the middle of the exchange.
std::chrono::system_clock::duration ClockOffset(std::chrono::system_clock::time_point sent,
                                                const SntpReply& reply,
                                                std::chrono::system_clock::time_point received);

// Era-correct conversion: a timestamp whose top bit is clear lies after the 2036 roll-over.
std::chrono::system_clock::time_point FromNtp(NtpTimestamp timestamp);
NtpTimestamp ToNtp(std::chrono::system_clock::time_point time);

} // namespace net
