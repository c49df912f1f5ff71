#include "platform/store/AppendOnce.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool endsWith(int file, off_t size, const std::string& record)
{
    const auto length = static_cast<off_t>(record.size());
    std::string tail(record.size(), '\0');
    return size >= length &&
           ::pread(file, tail.data(), tail.size(), size - length) == ssize_t(tail.size()) &&
           tail == record;
}

std::string append(int file, off_t size, const std::string& record)
{
    for (std::size_t done = 0; done < record.size();) {
        const ssize_t written = ::write(file, record.data() + done, record.size() - done);
        if (written <= 0) {
            const std::string reason = written < 0 ? std::strerror(errno) : "Nothing written";
            // Back to where the record began; if even that fails, the next try appends it whole
            // after the part, which loses nothing.
            [[maybe_unused]] const int cut = ::ftruncate(file, size);
            return reason;
        }
        done += static_cast<std::size_t>(written);
    }
    return {};
}

} // namespace

std::string appendOnce(const char* name, const std::string& record)
{
    // Read access too, to compare the file's end with the record. O_NONBLOCK: opening a FIFO or a
    // device must never wait, whatever the system does with a FIFO opened for both.
    const int file =
        ::open(name, O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (file < 0)
        return errno == ELOOP ? "Is a symbolic link" : std::strerror(errno);
    struct stat status {};
    std::string reason;
    if (::fstat(file, &status) != 0)
        reason = std::strerror(errno);
    else if (!S_ISREG(status.st_mode))
        reason = "Not a regular file";
    else if (!endsWith(file, status.st_size, record))
        reason = append(file, status.st_size, record);
    ::close(file);
    return reason;
}

} // namespace platform
