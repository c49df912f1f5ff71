#pragma once

#include <QDate>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace platform {

// The bytes of one watched connection on one local calendar day.
struct UsageDay {
    std::string connection;
    QDate day;
    std::uint64_t received = 0;
    std::uint64_t transmitted = 0;
    bool operator==(const UsageDay&) const = default;
};

// One finished accounting period. Start and end are packed local date-times, the values its
// traffic log record is made from.
struct FinishedPeriod {
    std::int64_t id = 0; // grows with each period ended
    std::string connection;
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint64_t received = 0;
    std::uint64_t transmitted = 0;
    bool logged = false; // its record has reached the traffic log
    bool operator==(const FinishedPeriod&) const = default;
};

// The usage history in the settings store's file, on the store's own connection, so that its
// writes join the store's transactions: the tick's bytes go into the day's row in the commit that
// stores the sums, and a period's row is made in the commit that starts the next period. Every
// day is kept: a row is some 40 bytes, a few kilobytes a year.
//
// The schema's version is the file's `PRAGMA user_version`: 0 for a store written before the
// history, which gains the tables when it is next opened, its settings rows untouched. A file of
// a newer version than this program knows belongs to a newer program: its history is left alone
// and the settings work as ever.
class UsageHistory {
public:
    static constexpr int SchemaVersion = 1;

    // Read: a file opened read-only, whose tables are never made; one of an older schema has no
    // history to read.
    enum class Access { ReadWrite, Read };

    // nullptr when the file's schema is newer or the tables cannot be made.
    static std::unique_ptr<UsageHistory> open(sqlite3* db, Access access);
    ~UsageHistory();
    UsageHistory(const UsageHistory&) = delete;
    UsageHistory& operator=(const UsageHistory&) = delete;

    bool addToDay(const std::string& connection, const QDate& day, std::uint64_t received,
                  std::uint64_t transmitted);
    // The period's id is given by the store.
    bool addPeriod(const FinishedPeriod& period);
    bool markLogged(std::int64_t id);

    // Every connection's days from `first` to `last`, inclusive, by day and then connection.
    std::vector<UsageDay> days(const QDate& first, const QDate& last);
    // Finished periods, oldest first: all, or those whose record has not reached the log yet.
    std::vector<FinishedPeriod> periods(bool onlyUnlogged = false);

private:
    explicit UsageHistory(sqlite3* db);
    bool prepare();

    sqlite3* db_;
    sqlite3_stmt* addToRow_ = nullptr; // the known row of the day
    sqlite3_stmt* addToDay_ = nullptr; // any day
    sqlite3_stmt* addPeriod_ = nullptr;
    sqlite3_stmt* markLogged_ = nullptr;
    // The day and connection last added to, as bound, and its row once known.
    struct DayRow {
        std::optional<QDate> day;
        std::string dayText;
        std::string connection;
        std::optional<std::int64_t> id;
    } row_;
};

} // namespace platform
