#include "platform/store/UsageHistory.h"

#include "platform/store/SqliteCalls.h"

#include <cstdio>

namespace platform {

namespace {

// Days as ISO dates (2026-12-06), so that the text sorts as the days do; periods by their packed
// start and end. SQLite's integers are signed: byte counts go in and come out as the same 64 bits.
// The version set here is SchemaVersion.
constexpr const char* kSchema =
    "BEGIN IMMEDIATE;"
    "CREATE TABLE IF NOT EXISTS usage_days(day TEXT NOT NULL, connection TEXT NOT NULL, "
    "received INTEGER NOT NULL, transmitted INTEGER NOT NULL, PRIMARY KEY(day, connection));"
    "CREATE TABLE IF NOT EXISTS usage_periods(id INTEGER PRIMARY KEY, connection TEXT NOT NULL, "
    "start_packed INTEGER NOT NULL, end_packed INTEGER NOT NULL, received INTEGER NOT NULL, "
    "transmitted INTEGER NOT NULL, logged INTEGER NOT NULL);"
    "PRAGMA user_version=1;"
    "COMMIT;";

// -1 when it cannot be read.
int userVersion(sqlite3* db)
{
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr);
    const int version =
        sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
    sqlite3_finalize(statement);
    return version;
}

// printf costs a third of what QDate::toString does.
std::string dayText(const QDate& day)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.year(), day.month(), day.day());
    return text;
}

void bindText(sqlite3_stmt* statement, int index, const std::string& text)
{
    sqlite3_bind_text(statement, index, text.c_str(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

// Without a copy: for texts kept unchanged until the statement is bound again.
void bindTextInPlace(sqlite3_stmt* statement, int index, const std::string& text)
{
    sqlite3_bind_text(statement, index, text.c_str(), static_cast<int>(text.size()), SQLITE_STATIC);
}

void bindCount(sqlite3_stmt* statement, int index, std::uint64_t count)
{
    sqlite3_bind_int64(statement, index, static_cast<sqlite3_int64>(count));
}

std::string textColumn(sqlite3_stmt* statement, int column)
{
    return {reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
            static_cast<std::size_t>(sqlite3_column_bytes(statement, column))};
}

std::uint64_t countColumn(sqlite3_stmt* statement, int column)
{
    return static_cast<std::uint64_t>(sqlite3_column_int64(statement, column));
}

// Every row of a query, made by `row` from the statement; `bind` sets its parameters.
template <typename Row, typename Bind, typename MakeRow>
std::vector<Row> rows(sqlite3* db, const char* sql, Bind bind, MakeRow row)
{
    std::vector<Row> result;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        bind(statement);
        while (sqlite3_step(statement) == SQLITE_ROW)
            result.push_back(row(statement));
    }
    sqlite3_finalize(statement);
    return result;
}

} // namespace

std::unique_ptr<UsageHistory> UsageHistory::open(sqlite3* db, Access access)
{
    const int version = userVersion(db);
    if (version < 0 || version > SchemaVersion ||
        (access == Access::Read && version < SchemaVersion))
        return nullptr;
    if (version < SchemaVersion && !sqlite::exec(db, kSchema)) {
        sqlite::exec(db, "ROLLBACK");
        return nullptr;
    }
    std::unique_ptr<UsageHistory> history(new UsageHistory(db));
    return history->prepare() ? std::move(history) : nullptr;
}

UsageHistory::UsageHistory(sqlite3* db) : db_(db) {}

UsageHistory::~UsageHistory()
{
    for (sqlite3_stmt* statement : {addToRow_, addToDay_, addPeriod_, markLogged_})
        sqlite3_finalize(statement);
}

bool UsageHistory::prepare()
{
    return sqlite::prepare(db_,
                           "UPDATE usage_days SET received=received+?3, transmitted=transmitted+?4 "
                           "WHERE rowid=?5 AND day=?1 AND connection=?2",
                           &addToRow_) &&
           sqlite::prepare(db_,
                           "INSERT INTO usage_days(day, connection, received, transmitted) "
                           "VALUES(?1, ?2, ?3, ?4) ON CONFLICT(day, connection) DO UPDATE SET "
                           "received=received+excluded.received, "
                           "transmitted=transmitted+excluded.transmitted RETURNING rowid",
                           &addToDay_) &&
           sqlite::prepare(db_,
                           "INSERT INTO usage_periods(connection, start_packed, end_packed, "
                           "received, transmitted, logged) VALUES(?1, ?2, ?3, ?4, ?5, ?6)",
                           &addPeriod_) &&
           sqlite::prepare(db_, "UPDATE usage_periods SET logged=1 WHERE id=?1", &markLogged_);
}

bool UsageHistory::addToDay(const std::string& connection, const QDate& day, std::uint64_t received,
                            std::uint64_t transmitted)
{
    // Every tick of a day adds to the same row: once known, the row is updated by its id, without
    // a search of the index or an insert tried first. Day and connection are checked too, so a
    // row that another program deleted or made anew is looked for again. The day's text is made
    // once a day.
    if (day != row_.day || connection != row_.connection)
        row_ = {day, dayText(day), connection, std::nullopt};
    const auto bind = [&](sqlite3_stmt* statement) {
        bindTextInPlace(statement, 1, row_.dayText);
        bindTextInPlace(statement, 2, row_.connection);
        bindCount(statement, 3, received);
        bindCount(statement, 4, transmitted);
    };
    if (row_.id) {
        bind(addToRow_);
        sqlite3_bind_int64(addToRow_, 5, *row_.id);
        if (!sqlite::run(addToRow_))
            return false;
        if (sqlite3_changes(db_) > 0)
            return true;
    }
    bind(addToDay_);
    row_.id = sqlite::runForRow(addToDay_);
    return row_.id.has_value();
}

bool UsageHistory::addPeriod(const FinishedPeriod& period)
{
    bindText(addPeriod_, 1, period.connection);
    sqlite3_bind_int64(addPeriod_, 2, period.start);
    sqlite3_bind_int64(addPeriod_, 3, period.end);
    bindCount(addPeriod_, 4, period.received);
    bindCount(addPeriod_, 5, period.transmitted);
    sqlite3_bind_int(addPeriod_, 6, period.logged);
    return sqlite::run(addPeriod_);
}

bool UsageHistory::markLogged(std::int64_t id)
{
    sqlite3_bind_int64(markLogged_, 1, id);
    return sqlite::run(markLogged_);
}

std::vector<UsageDay> UsageHistory::days(const QDate& first, const QDate& last)
{
    return rows<UsageDay>(
        db_,
        "SELECT day, connection, received, transmitted FROM usage_days "
        "WHERE day BETWEEN ?1 AND ?2 ORDER BY day, connection",
        [&](sqlite3_stmt* statement) {
            bindText(statement, 1, dayText(first));
            bindText(statement, 2, dayText(last));
        },
        [](sqlite3_stmt* statement) {
            return UsageDay{
                textColumn(statement, 1),
                QDate::fromString(QString::fromStdString(textColumn(statement, 0)), Qt::ISODate),
                countColumn(statement, 2), countColumn(statement, 3)};
        });
}

std::vector<FinishedPeriod> UsageHistory::periods(bool onlyUnlogged)
{
    return rows<FinishedPeriod>(
        db_,
        "SELECT id, connection, start_packed, end_packed, received, transmitted, logged "
        "FROM usage_periods WHERE logged=0 OR NOT ?1 ORDER BY id",
        [&](sqlite3_stmt* statement) { sqlite3_bind_int(statement, 1, onlyUnlogged); },
        [](sqlite3_stmt* statement) {
            return FinishedPeriod{sqlite3_column_int64(statement, 0),
                                  textColumn(statement, 1),
                                  static_cast<std::uint32_t>(sqlite3_column_int64(statement, 2)),
                                  static_cast<std::uint32_t>(sqlite3_column_int64(statement, 3)),
                                  countColumn(statement, 4),
                                  countColumn(statement, 5),
                                  sqlite3_column_int(statement, 6) != 0};
        });
}

} // namespace platform
