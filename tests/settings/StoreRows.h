#pragma once

#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace test {

struct StoreRow {
    std::string key;
    std::string name;
    std::uint32_t type;
    std::vector<unsigned char> data;
    bool operator==(const StoreRow&) const = default;
};

// The catalogue's rows in creation order with their defaults, and `changed` rows holding other
// data.
std::vector<StoreRow>
Catalogue(const std::map<std::string, std::vector<unsigned char>>& changed = {});
// Every value row of a store file, in creation order, read with SQLite directly.
std::vector<StoreRow> ReadStoreRows(const std::filesystem::path& file);
// Writes a raw row as another program (or a hand edit) would.
void WriteStoreRow(const std::filesystem::path& file, const std::string& name, std::uint32_t type,
                   const std::vector<unsigned char>& data);
std::vector<unsigned char> TextBytes(const std::string& text); // with the terminating zero

// Makes every later write of the value `name` fail, as a full disk or an I/O error would.
void RefuseWritesOf(const std::filesystem::path& file, const std::string& name);
// Result of PRAGMA integrity_check.
std::string IntegrityCheck(const std::filesystem::path& file);
// Logs every value written to a store file from now on (by any connection), through triggers.
void StartWriteLog(const std::filesystem::path& file);
// Names of the values written since StartWriteLog or the last call, in write order.
std::vector<std::string> TakeWriteLog(const std::filesystem::path& file);

// Runs `command` with sh in `dir`, `arguments` as $1, $2...; its output and exit code.
std::string Shell(const std::filesystem::path& dir, const std::string& command,
                  const QStringList& arguments = {});

} // namespace test
