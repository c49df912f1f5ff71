// The SNTP reply check on arbitrary bytes: the first eight are the transmit timestamp we sent,
// the rest is the reply. Besides memory faults it catches an accepted reply without a time and a
// time conversion that does not come back to the timestamp it started from.
#include "net/SntpPacket.h"

#include <cstddef>
#include <cstdint>

namespace {

// A nanosecond spans about 4.3 units of the 2^-32 s fraction and both ways truncate, so the way
// back may lose up to 5.
bool RoundTrips(net::NtpTimestamp timestamp)
{
    const net::NtpTimestamp back = net::ToNtp(net::FromNtp(timestamp));
    return back <= timestamp && timestamp - back <= 5;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 8)
        return 0;
    net::NtpTimestamp sent = 0;
    for (std::size_t i = 0; i < 8; ++i)
        sent = sent << 8 | data[i];
    const net::SntpReply reply = net::CheckSntpReply({data + 8, size - 8}, sent);
    if (reply.verdict == net::SntpVerdict::Accepted &&
        (reply.transmit == 0 || !RoundTrips(reply.receive) || !RoundTrips(reply.transmit)))
        __builtin_trap();
    return 0;
}
