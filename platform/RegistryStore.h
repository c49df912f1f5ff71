#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace platform {

// Value types and result codes with the numbers the stored data and the callers rely on.
enum RegType : std::uint32_t { RegSz = 1, RegDword = 4 };

enum RegResult : long {
    RegSuccess = 0,
    RegFileNotFound = 2,
    RegAccessDenied = 5,
    RegMoreData = 234,
};

// The per-user key-value store behind the settings: one SQLite file holding keys and typed values
// with their raw bytes, so it can be inspected with the sqlite3 shell. Each set is its own
// committed transaction in a WAL journal, so a killed process never leaves a torn store.
class RegistryStore {
public:
    // Creates or opens `file` (directory 0700, file 0600) and the key row; nullptr on any failure.
    static std::unique_ptr<RegistryStore> createKey(const std::filesystem::path& file,
                                                    const std::string& key);

    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // Copies the stored bytes into `data`; `size` is the buffer size on entry and the stored size
    // on return. RegMoreData when the buffer is too small, RegFileNotFound when there is no value.
    RegResult queryValue(const char* name, std::uint32_t& type, void* data, std::uint32_t& size);

    // Replaces the value's type and data; a new value gets a new row, an existing one keeps its
    // row.
    RegResult setValue(const char* name, std::uint32_t type, const void* data, std::uint32_t size);

private:
    RegistryStore(sqlite3* db, std::string key);
    bool prepare();

    sqlite3* db_;
    std::string key_;
    sqlite3_stmt* query_ = nullptr;
    sqlite3_stmt* upsert_ = nullptr;
};

// $XDG_CONFIG_HOME/Quillmar/registry.sqlite3, with ~/.config when the variable is unset or empty.
std::filesystem::path defaultRegistryFile();

} // namespace platform
