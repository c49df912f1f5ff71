#include "platform/store/InstanceLock.h"

#include "platform/store/OwnFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

InstanceLock::InstanceLock(const std::filesystem::path& file)
{
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0)
        return;
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0)
        result_ = Result::Acquired;
    else
        result_ = errno == EWOULDBLOCK ? Result::AlreadyHeld : Result::Failed;
}

InstanceLock::~InstanceLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::filesystem::path LockFileBeside(const std::filesystem::path& store)
{
    // Never a predictable name in a shared folder, which another user could take first.
    const OwnFolder folder(store.parent_path());
    return folder.usable() ? folder.path() / "Quillmar.lock" : std::filesystem::path();
}

} // namespace platform
