#pragma once

#include <optional>
#include <sqlite3.h>

// The few SQLite calls that the store and its history make alike.
namespace platform::sqlite {

inline bool exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// For statements run again and again: SQLite keeps them out of its lookaside memory.
inline bool prepare(sqlite3* db, const char* sql, sqlite3_stmt** statement)
{
    return sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, statement, nullptr) ==
           SQLITE_OK;
}

// Runs a statement that yields no rows and makes it ready for the next run.
inline bool run(sqlite3_stmt* statement)
{
    const int step = sqlite3_step(statement);
    sqlite3_reset(statement);
    return step == SQLITE_DONE;
}

// Runs a statement that yields the id of the one row it wrote (RETURNING rowid) and makes it
// ready for the next run; nothing when it fails.
inline std::optional<sqlite3_int64> runForRow(sqlite3_stmt* statement)
{
    std::optional<sqlite3_int64> row;
    if (sqlite3_step(statement) == SQLITE_ROW)
        row = sqlite3_column_int64(statement, 0);
    const bool done = row && sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_reset(statement);
    return done ? row : std::nullopt;
}

} // namespace platform::sqlite
