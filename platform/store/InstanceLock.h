#pragma once

#include <filesystem>

namespace platform {

// One copy of the program per store: an exclusive flock on a file beside the store it guards. The
// kernel drops the lock when the process ends, however it ends, so a crash never blocks the next
// start.
class InstanceLock {
public:
    enum class Result { Acquired, AlreadyHeld, Failed };

    explicit InstanceLock(const std::filesystem::path& file);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Result result() const { return result_; }

private:
    int fd_ = -1;
    Result result_ = Result::Failed;
};

// "Quillmar.lock" in the folder of `store` (made when missing, only the user's own), whatever the
// environment says: two copies with different runtime folders still meet at the same lock. Empty
// when the folder cannot be used, so the lock cannot be taken.
std::filesystem::path LockFileBeside(const std::filesystem::path& store);

} // namespace platform
