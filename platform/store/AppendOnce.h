#pragma once

#include <string>

namespace platform {

// Appends `record` to the regular file `name` (created when missing), unless the file already
// ends with it: a record written just before a kill, whose mark in the store never came, is not
// written twice. The file is opened without following a symbolic link and without waiting, so
// that a FIFO or a device never holds the caller; anything but a regular file is refused. A
// record that does not fit (a full disk) is taken back out, so that the next try does not follow
// half of it. Empty when the record is in the file, else why not, for the user.
std::string appendOnce(const char* name, const std::string& record);

} // namespace platform
