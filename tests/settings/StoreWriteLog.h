#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace test {

// Records the name of every value written to a store file from now on, by any connection, in
// the order of the writes: a trigger in the file itself logs them, since rows are updated in place.
class StoreWriteLog {
public:
    explicit StoreWriteLog(std::filesystem::path file);
    std::vector<std::string> Names() const;

private:
    std::filesystem::path file_;
};

} // namespace test
