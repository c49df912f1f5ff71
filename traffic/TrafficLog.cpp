#include "traffic/TrafficLog.h"

#include "traffic/PackedDateTime.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t CountWidth = 17;

std::string CountField(const std::string& count)
{
    return std::string(count.size() < CountWidth ? CountWidth - count.size() : 0, ' ') + count;
}

} // namespace

std::string TrafficLogRecord(std::uint32_t periodStart, std::uint32_t periodEnd,
                             const std::string& received, const std::string& transmitted,
                             const std::string& sum)
{
    return "Traffic from " + DateText(periodStart) + ", " + TimeText(periodStart) + " to " +
           DateText(periodEnd) + ", " + TimeText(periodEnd) + "\r\n" +
           "  Received:    " + CountField(received) + " Bytes\r\n" +
           "  Transmitted: " + CountField(transmitted) + " Bytes\r\n" +
           "  Sum:         " + CountField(sum) + " Bytes\r\n" + "\r\n";
}

void AppendTrafficLog(const std::string& record)
{
    const int file = ::open("Quillmar.log", O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (file < 0)
        return;
    // A short write (a full disk) loses the rest of the record, like a log that cannot be opened.
    [[maybe_unused]] const ssize_t written = ::write(file, record.data(), record.size());
    ::close(file);
}
