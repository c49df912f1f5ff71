#include "settings/StoreRows.h"

#include "platform/store/RegistryStore.h"
#include "settings/RegVars.h"

#include <QProcess>
#include <sqlite3.h>

namespace test {

namespace {

// Every row `sql` yields, each column as its bytes.
std::vector<std::vector<std::string>> Query(const std::filesystem::path& file,
                                            const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    std::vector<std::vector<std::string>> rows;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        for (int i = 0; i < sqlite3_column_count(stmt); ++i)
            (i ? rows.back() : rows.emplace_back())
                .emplace_back(static_cast<const char*>(sqlite3_column_blob(stmt, i)),
                              sqlite3_column_bytes(stmt, i));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

} // namespace

using Bytes = std::vector<unsigned char>;

std::vector<StoreRow> Catalogue(const std::map<std::string, Bytes>& changed)
{
    std::vector<StoreRow> rows;
    for (const QString& row :
         QString("Connection BandwidthRX=1024 BandwidthTX=128 AutoConnect=0 KeepConnected=0 "
                 "KeepAliveEnabled=0 KeepAliveTime=10 KeepAliveHost HistoryScaling=0 "
                 "HistoryUpdateSpeed=2 ShowMore=0 SumRXHi=0 SumRXLo=0 SumTXHi=0 SumTXLo=0 "
                 "TrafficLimit=1000 OnLimitShowMessage=1 OnLimitCloseConnection=0 LimitAutoReset=0 "
                 "LimitLastReset=0 DynDNSAutoUpdate=0 DynDNSHostname DynDNSUsername DynDNSPassword "
                 "StartMinimized=0 InfoShown=0 HintsAsNotifications=0")
             .split(' ')) {
        const std::string name = row.section('=', 0, 0).toStdString();
        const std::uint32_t value = row.section('=', 1).toUInt();
        const Bytes data =
            row.contains('=') ? Bytes{uchar(value), uchar(value >> 8), 0, 0} : Bytes{0};
        rows.push_back({CRegVars::KeyPath, name, row.contains('=') ? 4u : 1u,
                        changed.contains(name) ? changed.at(name) : data});
    }
    return rows;
}

std::vector<StoreRow> ReadStoreRows(const std::filesystem::path& file)
{
    std::vector<StoreRow> rows;
    for (auto& r : Query(file, "SELECT key, name, type, data FROM reg_values ORDER BY rowid"))
        rows.push_back({r[0], r[1], std::uint32_t(std::stoul(r[2])), {r[3].begin(), r[3].end()}});
    return rows;
}

void WriteStoreRow(const std::filesystem::path& file, const std::string& name, std::uint32_t type,
                   const std::vector<unsigned char>& data)
{
    std::string error;
    platform::RegistryStore::createKey(file, CRegVars::KeyPath, error)
        ->setValue(name.c_str(), type, data.data(), static_cast<std::uint32_t>(data.size()));
}

std::vector<unsigned char> TextBytes(const std::string& text)
{
    return {text.c_str(), text.c_str() + text.size() + 1};
}

void RefuseWritesOf(const std::filesystem::path& file, const std::string& name)
{
    // An existing value is updated, a new one inserted.
    for (const std::string event : {"INSERT", "UPDATE"})
        Query(file, "CREATE TRIGGER refuse_" + name + "_" + event + " BEFORE " + event +
                        " ON reg_values WHEN NEW.name='" + name +
                        "' BEGIN SELECT RAISE(ABORT, 'refused'); END;");
}

std::string IntegrityCheck(const std::filesystem::path& file)
{
    return Query(file, "PRAGMA integrity_check").at(0).at(0);
}

void StartWriteLog(const std::filesystem::path& file)
{
    Query(file, "CREATE TABLE IF NOT EXISTS write_log(seq INTEGER PRIMARY KEY, name TEXT)");
    for (const std::string event : {"INSERT", "UPDATE"})
        Query(file, "CREATE TRIGGER IF NOT EXISTS log_" + event + " AFTER " + event +
                        " ON reg_values BEGIN INSERT INTO write_log(name) VALUES(NEW.name); END");
    Query(file, "DELETE FROM write_log");
}

std::vector<std::string> TakeWriteLog(const std::filesystem::path& file)
{
    std::vector<std::string> names;
    for (auto& row : Query(file, "SELECT name FROM write_log ORDER BY seq"))
        names.push_back(row[0]);
    Query(file, "DELETE FROM write_log");
    return names;
}

std::string Shell(const std::filesystem::path& dir, const std::string& command,
                  const QStringList& arguments)
{
    QProcess shell;
    shell.setWorkingDirectory(QString::fromStdString(dir.string()));
    shell.start("sh", QStringList{"-c", QString::fromStdString(command), "sh"} + arguments);
    shell.waitForFinished();
    return shell.readAll().toStdString() + std::to_string(shell.exitCode());
}

} // namespace test
