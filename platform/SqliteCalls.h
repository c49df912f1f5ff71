#pragma once

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

} // namespace platform::sqlite
