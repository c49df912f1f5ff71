#pragma once

#include <filesystem>
#include <string>

namespace platform {

// $XDG_CONFIG_HOME, or ~/.config. Only absolute paths count: a relative XDG_CONFIG_HOME is
// ignored, and without an absolute HOME the home folder comes from the password database. Empty
// when no home folder is known at all.
std::filesystem::path configHome();

// Quillmar's own folder in configHome(); relative when no home folder is known.
std::filesystem::path configFolder();

// A folder that only the user may enter, made so when it is missing and checked when it exists:
// reached through symbolic links, it must be a folder the user owns, and its mode becomes 0700.
// Nobody else can then add, swap or remove an entry in it, so files inside can be trusted by name.
class OwnFolder {
public:
    explicit OwnFolder(const std::filesystem::path& dir);
    ~OwnFolder();
    OwnFolder(const OwnFolder&) = delete;
    OwnFolder& operator=(const OwnFolder&) = delete;

    bool usable() const { return fd_ >= 0; }
    // Without symbolic links; empty when not usable.
    const std::filesystem::path& path() const { return path_; }
    // Why the folder cannot be used, for the user; empty when it can.
    const std::string& error() const { return error_; }

    // Checks (and with `create`, creates 0600) the regular file `name` in the folder, refusing a
    // symbolic link or a file of another user, and sets its mode to 0600. An error text, empty on
    // success; a missing file without `create` is no error.
    std::string checkFile(const std::string& name, bool create) const;

private:
    int fd_ = -1;
    std::filesystem::path path_;
    std::string error_;
};

} // namespace platform
