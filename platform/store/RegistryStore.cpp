#include "platform/store/RegistryStore.h"

#include "platform/store/OwnFolder.h"
#include "platform/store/SqliteCalls.h"
#include "platform/store/UsageHistory.h"

#include <cstring>

namespace platform {

namespace {

constexpr const char* kSchema = "CREATE TABLE IF NOT EXISTS reg_keys(key TEXT PRIMARY KEY);"
                                "CREATE TABLE IF NOT EXISTS reg_values(key TEXT NOT NULL, "
                                "name TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, "
                                "PRIMARY KEY(key, name));";

using sqlite::exec;

// A store is used on one thread alone: SQLite need not lock the connection for every call.
constexpr int kOneThread = SQLITE_OPEN_NOMUTEX;

RegResult run(sqlite3_stmt* statement)
{
    return sqlite::run(statement) ? RegSuccess : RegAccessDenied;
}

// The store holds a password: its folder is the user's alone, and the file and its journal files
// are regular files of the user's, created 0600 before SQLite opens them, so they are never
// readable by others, not even for a moment. The reason when they cannot be used.
std::string checkPlace(const OwnFolder& folder, const std::string& name)
{
    if (!folder.usable())
        return folder.error();
    for (const char* suffix : {"", "-wal", "-shm"})
        if (auto error = folder.checkFile(name + suffix, *suffix == '\0'); !error.empty())
            return error;
    return {};
}

} // namespace

std::unique_ptr<RegistryStore> RegistryStore::createKey(const std::filesystem::path& file,
                                                        const std::string& key, std::string& error)
{
    const OwnFolder folder(file.parent_path());
    error = checkPlace(folder, file.filename());
    if (!error.empty())
        return nullptr;
    // The folder is resolved, so a link anywhere in this path is refused, as is a link put in place
    // of the file after the check.
    const auto resolved = folder.path() / file.filename();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(resolved.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW | kOneThread,
                        nullptr) != SQLITE_OK) {
        error = "cannot open " + resolved.string() + ": " + sqlite3_errmsg(db);
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<RegistryStore> store(new RegistryStore(db, key));
    // NORMAL synchronisation in WAL mode: a committed set survives the process being killed; only
    // a power failure may lose the last few sets, and never the store's consistency.
    sqlite3_busy_timeout(db, 200);
    sqlite3_stmt* insertKey = nullptr;
    const bool ready =
        exec(db, "PRAGMA journal_mode=WAL;") && exec(db, "PRAGMA synchronous=NORMAL;") &&
        exec(db, kSchema) && store->prepare() &&
        sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO reg_keys(key) VALUES(?1)", -1, &insertKey,
                           nullptr) == SQLITE_OK &&
        sqlite3_bind_text(insertKey, 1, key.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
        sqlite3_step(insertKey) == SQLITE_DONE;
    if (!ready)
        error = "cannot open " + resolved.string() + ": " + sqlite3_errmsg(db);
    sqlite3_finalize(insertKey);
    if (ready)
        store->history_ = UsageHistory::open(db, UsageHistory::Access::ReadWrite);
    return ready ? std::move(store) : nullptr;
}

std::unique_ptr<RegistryStore> RegistryStore::openForReading(const std::filesystem::path& file,
                                                             const std::string& key,
                                                             std::string& error)
{
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(
        file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW | kOneThread, nullptr);
    std::unique_ptr<RegistryStore> store(new RegistryStore(db, key));
    sqlite3_busy_timeout(db, 200);
    if (opened != SQLITE_OK || !store->prepare()) {
        error = "cannot read " + file.string() + ": " + sqlite3_errmsg(db);
        return nullptr;
    }
    store->history_ = UsageHistory::open(db, UsageHistory::Access::Read);
    return store;
}

RegistryStore::RegistryStore(sqlite3* db, std::string key) : db_(db), key_(std::move(key)) {}

RegistryStore::~RegistryStore()
{
    history_.reset(); // its statements before the connection
    for (sqlite3_stmt* statement : {query_, update_, upsert_, begin_, commit_})
        sqlite3_finalize(statement);
    sqlite3_close(db_);
}

bool RegistryStore::prepare()
{
    // length() of a BLOB comes from the record header, so a value too large for the caller's
    // buffer is measured without being read: a huge value put in by hand costs neither time nor
    // memory.
    return sqlite::prepare(db_,
                           "SELECT type, length(data), CASE WHEN length(data) <= ?3 THEN data "
                           "END, rowid FROM reg_values WHERE key=?1 AND name=?2",
                           &query_) &&
           sqlite::prepare(db_,
                           "UPDATE reg_values SET type=?3, data=?4 "
                           "WHERE rowid=?5 AND key=?1 AND name=?2",
                           &update_) &&
           sqlite::prepare(db_,
                           "INSERT INTO reg_values(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
                           "ON CONFLICT(key, name) DO UPDATE SET type=excluded.type, "
                           "data=excluded.data RETURNING rowid",
                           &upsert_) &&
           // IMMEDIATE takes the write lock at once, so a commit never fails on a lock that a
           // reader upgraded in between.
           sqlite::prepare(db_, "BEGIN IMMEDIATE", &begin_) &&
           sqlite::prepare(db_, "COMMIT", &commit_);
}

RegResult RegistryStore::queryValue(const char* name, std::uint32_t& type, void* data,
                                    std::uint32_t& size)
{
    sqlite3_bind_text(query_, 1, key_.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(query_, 2, name, -1, SQLITE_STATIC);
    sqlite3_bind_int64(query_, 3, size);
    const int step = sqlite3_step(query_);
    RegResult result = RegFileNotFound;
    if (step == SQLITE_ROW) {
        rows_.insert_or_assign(name, sqlite3_column_int64(query_, 3));
        type = static_cast<std::uint32_t>(sqlite3_column_int64(query_, 0));
        // No data column: too large. A TEXT value put in by hand is measured in characters by
        // length(), so its size in bytes is checked once more below.
        const bool read = sqlite3_column_type(query_, 2) != SQLITE_NULL;
        const void* bytes = read ? sqlite3_column_blob(query_, 2) : nullptr;
        const auto stored = static_cast<std::uint32_t>(read ? sqlite3_column_bytes(query_, 2)
                                                            : sqlite3_column_int64(query_, 1));
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
    const auto bind = [&](sqlite3_stmt* statement) {
        sqlite3_bind_text(statement, 1, key_.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(statement, 2, name, -1, SQLITE_STATIC);
        sqlite3_bind_int64(statement, 3, type);
        sqlite3_bind_blob(statement, 4, size > 0 ? data : "", static_cast<int>(size),
                          SQLITE_STATIC);
    };
    // Values are set again and again and made once: a value whose row is known is updated in that
    // row, without a search of the key's index or an insert tried first. Key and name are checked
    // too, so a row that another program deleted or made anew is looked for again.
    if (const auto row = rows_.find(std::string_view(name)); row != rows_.end()) {
        bind(update_);
        sqlite3_bind_int64(update_, 5, row->second);
        const RegResult updated = run(update_);
        sqlite3_clear_bindings(update_);
        if (updated != RegSuccess || sqlite3_changes(db_) > 0)
            return updated;
    }
    bind(upsert_);
    const std::optional<std::int64_t> row = sqlite::runForRow(upsert_);
    sqlite3_clear_bindings(upsert_);
    if (!row)
        return RegAccessDenied;
    rows_.insert_or_assign(name, *row);
    return RegSuccess;
}

RegResult RegistryStore::begin()
{
    return run(begin_);
}

RegResult RegistryStore::commit()
{
    return run(commit_);
}

void RegistryStore::rollback()
{
    // Harmless when SQLite has already rolled back by itself after an I/O error.
    exec(db_, "ROLLBACK");
}

void configureStoreLibrary()
{
    // Refused, harmlessly, once SQLite has started.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

std::filesystem::path defaultRegistryFile()
{
    return configFolder() / "registry.sqlite3";
}

} // namespace platform
