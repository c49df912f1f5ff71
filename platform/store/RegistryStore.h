#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace platform {

class UsageHistory;

// Value types and result codes with the numbers the stored data and the callers rely on.
enum RegType : std::uint32_t { RegSz = 1, RegBinary = 3, RegDword = 4 };

enum RegResult : long {
    RegSuccess = 0,
    RegFileNotFound = 2,
    RegAccessDenied = 5,
    RegMoreData = 234,
};

// The per-user key-value store behind the settings: one SQLite file holding keys and typed values
// with their raw bytes, so it can be inspected with the sqlite3 shell. Each set is its own
// committed transaction in a WAL journal, unless the caller groups sets between begin and commit;
// either way a killed process never leaves a torn store. A store, its history with it, belongs to
// the thread that uses it: SQLite does not lock it against others.
class RegistryStore {
public:
    // Creates or opens `file` and the key row; nullptr with the reason in `error` on any failure.
    // The file's folder may be reached through symbolic links and is made the user's alone
    // (0700); the file itself must not be a link, and the folder, the file and its journal files
    // must belong to the user (files 0600).
    static std::unique_ptr<RegistryStore> createKey(const std::filesystem::path& file,
                                                    const std::string& key, std::string& error);
    // Opens an existing `file` to read it beside the running program: SQLite's read-only mode,
    // so nothing is created or changed and every set fails. The history is there only when the
    // file's schema is this program's.
    static std::unique_ptr<RegistryStore>
    openForReading(const std::filesystem::path& file, const std::string& key, std::string& error);

    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // Copies the stored bytes into `data`; `size` is the buffer size on entry and the stored size
    // on return. RegMoreData when the buffer is too small, without reading the data;
    // RegFileNotFound when there is no value.
    RegResult queryValue(const char* name, std::uint32_t& type, void* data, std::uint32_t& size);

    // Replaces the value's type and data; a new value gets a new row, an existing one keeps its
    // row.
    RegResult setValue(const char* name, std::uint32_t type, const void* data, std::uint32_t size);

    // Sets between begin and commit are stored together or, after rollback, not at all.
    RegResult begin();
    RegResult commit();
    void rollback();

    // The usage history in the same file, whose writes join the transactions above; nullptr when
    // the file's history belongs to a newer program or cannot be made.
    UsageHistory* history() { return history_.get(); }

private:
    RegistryStore(sqlite3* db, std::string key);
    bool prepare();

    sqlite3* db_;
    std::string key_;
    sqlite3_stmt* query_ = nullptr;
    sqlite3_stmt* update_ = nullptr; // a value in its known row
    sqlite3_stmt* upsert_ = nullptr; // any other
    sqlite3_stmt* begin_ = nullptr;
    sqlite3_stmt* commit_ = nullptr;
    std::unique_ptr<UsageHistory> history_;
    // Each value's row, as last read or set.
    std::map<std::string, std::int64_t, std::less<>> rows_;
};

// For a program, before its first store is opened and before it has other threads: SQLite keeps
// no account of its memory, which takes a lock at each of the some twenty allocations a statement
// makes.
void configureStoreLibrary();

// registry.sqlite3 in the program's configuration folder.
std::filesystem::path defaultRegistryFile();

} // namespace platform
