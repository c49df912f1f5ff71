#include "settings/StoreRows.h"

#include "platform/RegistryStore.h"
#include "settings/RegVars.h"

#include <sqlite3.h>
#include <stdexcept>

namespace test {

namespace {

struct Db {
    explicit Db(const std::filesystem::path& file)
    {
        if (sqlite3_open(file.c_str(), &db) != SQLITE_OK)
            throw std::runtime_error("cannot open store");
    }
    ~Db() { sqlite3_close(db); }
    sqlite3* db = nullptr;
};

// The first column of every row `sql` yields, as text.
std::vector<std::string> Texts(const std::filesystem::path& file, const char* sql)
{
    Db db(file);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db.db, sql, -1, &stmt, nullptr);
    std::vector<std::string> texts;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        texts.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return texts;
}

} // namespace

std::vector<StoreRow> ReadStoreRows(const std::filesystem::path& file)
{
    Db db(file);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db.db, "SELECT key, name, type, data FROM reg_values ORDER BY rowid", -1,
                       &stmt, nullptr);
    std::vector<StoreRow> rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, 3));
        rows.push_back({reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                        reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)),
                        static_cast<std::uint32_t>(sqlite3_column_int64(stmt, 2)),
                        {bytes, bytes + sqlite3_column_bytes(stmt, 3)}});
    }
    sqlite3_finalize(stmt);
    return rows;
}

void WriteStoreRow(const std::filesystem::path& file, const std::string& name, std::uint32_t type,
                   const std::vector<unsigned char>& data)
{
    std::string error;
    platform::RegistryStore::createKey(file, CRegVars::KeyPath, error)
        ->setValue(name.c_str(), type, data.data(), static_cast<std::uint32_t>(data.size()));
}

std::vector<unsigned char> DwordBytes(std::uint32_t value)
{
    return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

std::vector<unsigned char> TextBytes(const std::string& text)
{
    std::vector<unsigned char> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

void RefuseWritesOf(const std::filesystem::path& file, const std::string& name)
{
    Db db(file);
    // An upsert runs the BEFORE INSERT triggers before it turns into an update.
    const std::string sql = "CREATE TRIGGER refuse_" + name +
                            " BEFORE INSERT ON reg_values WHEN NEW.name='" + name +
                            "' BEGIN SELECT RAISE(ABORT, 'refused'); END;";
    sqlite3_exec(db.db, sql.c_str(), nullptr, nullptr, nullptr);
}

std::string IntegrityCheck(const std::filesystem::path& file)
{
    const auto answer = Texts(file, "PRAGMA integrity_check");
    return answer.empty() ? "no answer" : answer.front();
}

void StartWriteLog(const std::filesystem::path& file)
{
    Db db(file);
    sqlite3_exec(db.db,
                 "CREATE TABLE IF NOT EXISTS write_log(seq INTEGER PRIMARY KEY, name TEXT);"
                 "CREATE TRIGGER IF NOT EXISTS log_insert AFTER INSERT ON reg_values "
                 "BEGIN INSERT INTO write_log(name) VALUES(NEW.name); END;"
                 "CREATE TRIGGER IF NOT EXISTS log_update AFTER UPDATE ON reg_values "
                 "BEGIN INSERT INTO write_log(name) VALUES(NEW.name); END;",
                 nullptr, nullptr, nullptr);
}

std::vector<std::string> TakeWriteLog(const std::filesystem::path& file)
{
    const auto names = Texts(file, "SELECT name FROM write_log ORDER BY seq");
    Db db(file);
    sqlite3_exec(db.db, "DELETE FROM write_log", nullptr, nullptr, nullptr);
    return names;
}

} // namespace test
