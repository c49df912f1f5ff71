#include "traffic/TrafficLog.h"

#include "traffic/ByteFormat.h"
#include "traffic/PackedDateTime.h"

namespace {

constexpr std::size_t CountWidth = 17;

std::string CountField(std::uint64_t bytes)
{
    const std::string count = FormatBytes(static_cast<std::int64_t>(bytes));
    return std::string(count.size() < CountWidth ? CountWidth - count.size() : 0, ' ') + count;
}

} // namespace

std::string TrafficLogRecord(std::uint32_t periodStart, std::uint32_t periodEnd,
                             std::uint64_t received, std::uint64_t transmitted)
{
    return "Traffic from " + DateText(periodStart) + ", " + TimeText(periodStart) + " to " +
           DateText(periodEnd) + ", " + TimeText(periodEnd) + "\r\n" +
           "  Received:    " + CountField(received) + " Bytes\r\n" +
           "  Transmitted: " + CountField(transmitted) + " Bytes\r\n" +
           "  Sum:         " + CountField(received + transmitted) + " Bytes\r\n" + "\r\n";
}
