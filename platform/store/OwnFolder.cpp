#include "platform/store/OwnFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// A relative path in these variables would depend on the working directory: it does not count.
std::filesystem::path absoluteVariable(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::filesystem::path(value) : std::filesystem::path();
}

std::filesystem::path homeFolder()
{
    if (auto home = absoluteVariable("HOME"); !home.empty())
        return home;
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? hint : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

} // namespace

std::filesystem::path configHome()
{
    if (auto config = absoluteVariable("XDG_CONFIG_HOME"); !config.empty())
        return config;
    const auto home = homeFolder();
    return home.empty() ? home : home / ".config";
}

std::filesystem::path configFolder()
{
    return configHome() / "Quillmar";
}

OwnFolder::OwnFolder(const std::filesystem::path& dir)
{
    if (dir.is_relative()) {
        error_ = "no home folder is known";
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir.parent_path(), ec);
    // Created 0700 at once, so that it is never open to others, not even for a moment.
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        error_ = "cannot create the settings folder " + dir.string() + ": " + std::strerror(errno);
        return;
    }
    const auto resolved = std::filesystem::canonical(dir, ec);
    if (ec) {
        error_ = "cannot open the settings folder " + dir.string() + ": " + ec.message();
        return;
    }
    // The descriptor is what gets checked, so nothing can be swapped in after resolving.
    const int fd = ::open(resolved.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        error_ = errno == ENOTDIR ? "the settings folder " + dir.string() + " is not a folder"
                                  : "cannot open the settings folder " + dir.string() + ": " +
                                        std::strerror(errno);
        return;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_uid != ::geteuid()) {
        error_ = "the settings folder " + dir.string() + " belongs to another user";
    } else if ((status.st_mode & 07777) != 0700 && ::fchmod(fd, 0700) != 0) {
        error_ = "cannot protect the settings folder " + dir.string() + ": " + std::strerror(errno);
    } else {
        fd_ = fd;
        path_ = resolved;
        return;
    }
    ::close(fd);
}

OwnFolder::~OwnFolder()
{
    if (fd_ >= 0)
        ::close(fd_);
}

// Looked at by name, not opened: closing a descriptor of a file drops every POSIX lock this
// process holds on it, SQLite's included. Names in the folder cannot be swapped by anybody else.
std::string OwnFolder::checkFile(const std::string& name, bool create) const
{
    const std::string path = (path_ / name).string();
    struct stat status {};
    int found = ::fstatat(fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW);
    if (found != 0 && errno == ENOENT) {
        if (!create)
            return {};
        // Nobody holds a lock on a file made just now.
        const int fd = ::openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            found = ::fstatat(fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW);
        }
    }
    if (found != 0)
        return "cannot open " + path + ": " + std::strerror(errno);
    if (S_ISLNK(status.st_mode))
        return path + " is a symbolic link";
    if (!S_ISREG(status.st_mode))
        return path + " is not a regular file";
    if (status.st_uid != ::geteuid())
        return path + " belongs to another user";
    if ((status.st_mode & 07777) != 0600 && ::fchmodat(fd_, name.c_str(), 0600, 0) != 0)
        return "cannot protect " + path + ": " + std::strerror(errno);
    return {};
}

} // namespace platform
