#pragma once

#include <filesystem>

namespace platform {

// One copy of the program per user: an exclusive flock on a file in the user's runtime folder.
// The kernel drops the lock when the process ends, however it ends, so a crash never blocks the
// next start.
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

// $XDG_RUNTIME_DIR/Quillmar.lock, or the same name in the program's configuration folder (created
// when missing) when that variable holds no absolute path. Empty when neither can be used, so the
// lock cannot be taken.
std::filesystem::path defaultLockFile();

} // namespace platform
