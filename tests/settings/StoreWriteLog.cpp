#include "settings/StoreWriteLog.h"

#include <sqlite3.h>
#include <stdexcept>

namespace test {

namespace {

constexpr const char* LogSchema = "CREATE TABLE write_log(name TEXT NOT NULL);"
                                  "CREATE TRIGGER log_insert AFTER INSERT ON reg_values "
                                  "BEGIN INSERT INTO write_log(name) VALUES(NEW.name); END;"
                                  "CREATE TRIGGER log_update AFTER UPDATE ON reg_values "
                                  "BEGIN INSERT INTO write_log(name) VALUES(NEW.name); END;";

class Connection {
public:
    explicit Connection(const std::filesystem::path& file)
    {
        if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK)
            throw std::runtime_error("cannot open store");
    }
    ~Connection() { sqlite3_close(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    sqlite3* get() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

} // namespace

StoreWriteLog::StoreWriteLog(std::filesystem::path file) : file_(std::move(file))
{
    Connection db(file_);
    if (sqlite3_exec(db.get(), LogSchema, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db.get()));
}

std::vector<std::string> StoreWriteLog::Names() const
{
    Connection db(file_);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db.get(), "SELECT name FROM write_log ORDER BY rowid", -1, &stmt, nullptr);
    std::vector<std::string> names;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return names;
}

} // namespace test
