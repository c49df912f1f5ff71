#include "platform/RegistryStore.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr const char* kSchema = "CREATE TABLE IF NOT EXISTS reg_keys(key TEXT PRIMARY KEY);"
                                "CREATE TABLE IF NOT EXISTS reg_values(key TEXT NOT NULL, "
                                "name TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, "
                                "PRIMARY KEY(key, name));";

// The store holds a password: the folder is the user's alone and the file is created 0600
// before SQLite opens it, so it is never readable by others, not even for a moment.
bool prepareFile(const std::filesystem::path& file)
{
    const auto dir = file.parent_path();
    std::error_code ec;
    if (!dir.empty() && !std::filesystem::exists(dir, ec)) {
        std::filesystem::create_directories(dir, ec);
        if (ec || ::chmod(dir.c_str(), 0700) != 0)
            return false;
    }
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace

std::unique_ptr<RegistryStore> RegistryStore::createKey(const std::filesystem::path& file,
                                                        const std::string& key)
{
    if (!prepareFile(file))
        return nullptr;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<RegistryStore> store(new RegistryStore(db, key));
    // NORMAL synchronisation in WAL mode: a committed set survives the process being killed; only
    // a power failure may lose the last few sets, and never the store's consistency.
    sqlite3_busy_timeout(db, 200);
    if (!exec(db, "PRAGMA journal_mode=WAL;") || !exec(db, "PRAGMA synchronous=NORMAL;") ||
        !exec(db, kSchema) || !store->prepare())
        return nullptr;

    sqlite3_stmt* insertKey = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO reg_keys(key) VALUES(?1)", -1, &insertKey,
                           nullptr) != SQLITE_OK)
        return nullptr;
    sqlite3_bind_text(insertKey, 1, key.c_str(), -1, SQLITE_TRANSIENT);
    const bool keyStored = sqlite3_step(insertKey) == SQLITE_DONE;
    sqlite3_finalize(insertKey);
    return keyStored ? std::move(store) : nullptr;
}

RegistryStore::RegistryStore(sqlite3* db, std::string key) : db_(db), key_(std::move(key)) {}

RegistryStore::~RegistryStore()
{
    sqlite3_finalize(query_);
    sqlite3_finalize(upsert_);
    sqlite3_close(db_);
}

bool RegistryStore::prepare()
{
    return sqlite3_prepare_v3(db_, "SELECT type, data FROM reg_values WHERE key=?1 AND name=?2", -1,
                              SQLITE_PREPARE_PERSISTENT, &query_, nullptr) == SQLITE_OK &&
           sqlite3_prepare_v3(
               db_,
               "INSERT INTO reg_values(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
               "ON CONFLICT(key, name) DO UPDATE SET type=excluded.type, "
               "data=excluded.data",
               -1, SQLITE_PREPARE_PERSISTENT, &upsert_, nullptr) == SQLITE_OK;
}

RegResult RegistryStore::queryValue(const char* name, std::uint32_t& type, void* data,
                                    std::uint32_t& size)
{
    sqlite3_reset(query_);
    sqlite3_bind_text(query_, 1, key_.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(query_, 2, name, -1, SQLITE_STATIC);
    const int step = sqlite3_step(query_);
    RegResult result = RegFileNotFound;
    if (step == SQLITE_ROW) {
        type = static_cast<std::uint32_t>(sqlite3_column_int64(query_, 0));
        const auto* bytes = sqlite3_column_blob(query_, 1);
        const auto stored = static_cast<std::uint32_t>(sqlite3_column_bytes(query_, 1));
        if (stored > size) {
            result = RegMoreData;
        } else {
            if (stored > 0)
                std::memcpy(data, bytes, stored);
            result = RegSuccess;
        }
        size = stored;
    } else if (step != SQLITE_DONE) {
        result = RegAccessDenied;
    }
    sqlite3_reset(query_);
    return result;
}

RegResult RegistryStore::setValue(const char* name, std::uint32_t type, const void* data,
                                  std::uint32_t size)
{
    sqlite3_reset(upsert_);
    sqlite3_bind_text(upsert_, 1, key_.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(upsert_, 2, name, -1, SQLITE_STATIC);
    sqlite3_bind_int64(upsert_, 3, type);
    sqlite3_bind_blob(upsert_, 4, size > 0 ? data : "", static_cast<int>(size), SQLITE_STATIC);
    const bool done = sqlite3_step(upsert_) == SQLITE_DONE;
    sqlite3_reset(upsert_);
    sqlite3_clear_bindings(upsert_);
    return done ? RegSuccess : RegAccessDenied;
}

std::filesystem::path defaultRegistryFile()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (config && *config) {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home ? home : "") / ".config";
    }
    return base / "Quillmar" / "registry.sqlite3";
}

} // namespace platform
