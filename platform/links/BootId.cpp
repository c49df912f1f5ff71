#include "platform/links/BootId.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform {

std::string ReadBootId(const std::filesystem::path& file)
{
    // Read at start on the window's thread: nothing put in its place may hold the program.
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0)
        return {};
    char text[64];
    const ssize_t size = ::read(descriptor, text, sizeof text);
    ::close(descriptor);
    const std::string_view read(text, size > 0 ? static_cast<std::size_t>(size) : 0);
    const std::size_t end = read.find('\n');
    if (end == std::string_view::npos)
        return {};
    return std::string(read.substr(0, end));
}

} // namespace platform
