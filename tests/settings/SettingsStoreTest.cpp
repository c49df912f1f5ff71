#include "TestEnvironment.h"
#include "platform/store/UsageHistory.h"
#include "settings/RegVars.h"
#include "settings/StoreRows.h"
#include "traffic/PeriodRecords.h"
#include "traffic/TrafficLog.h"

#include <QFile>
#include <QProcess>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sqlite3.h>
#include <unistd.h>

using test::TextBytes;
using Bytes = std::vector<unsigned char>;

namespace {

constexpr std::uint32_t Sz = 1, Dword = 4;
using test::Catalogue;

// A first run writes every default in catalogue order into a folder and files only the user may
// read (the journals exist while a store is open); modes loosened by hand are repaired at the next
// start. Values put in by hand or by another program: usable ones are read, a text up to 255 bytes
// and never cut inside a character; the others are replaced by their defaults, in place, so that
// creation order stays.
TEST(SettingsStore, DefaultsStoredValuesTransactionsAndTheUsersOwnPlace)
{
    test::TempStore store;
    const std::string shell = "S=registry.sqlite3; stat -c %a . $S $S-wal $S-shm";
    CRegVars first(store.File());
    EXPECT_EQ(test::ReadStoreRows(store.File()), Catalogue());
    EXPECT_EQ(test::Shell(store.File().parent_path(), shell), "700\n600\n600\n600\n0");
    // Another store opened and closed in the same process keeps the first one's POSIX locks,
    // without which another program would take the journal for unused and delete it under the
    // writer.
    const auto locksHeld = [] {
        std::ifstream locks("/proc/locks");
        const std::string mine = " " + std::to_string(::getpid()) + " ";
        int count = 0;
        for (std::string line; std::getline(locks, line);)
            count += line.find(mine) != std::string::npos;
        return count;
    };
    const int held = locksHeld(); // the database's and the journal index's
    CRegVars(store.File()).InfoShown.Get();
    EXPECT_EQ(std::pair(held, locksHeld()), std::pair(2, 2));
    first.SumRXLo.Set(4294967295u);
    const std::string u = std::string(254, 'u') + "\xC3\xA9"; // "é" cut by the 256th byte
    const Bytes unterminated(u.begin(), u.end());             // no terminating zero
    const std::tuple<const char*, std::uint32_t, Bytes> written[] = {
        {"KeepAliveTime", Sz, TextBytes("5")},
        {"TrafficLimit", Dword, {0x10, 0x27}},
        {"BandwidthTX", Dword, {1, 0, 0, 0, 0, 0, 0, 0}},
        {"DynDNSHostname", Sz, TextBytes(std::string(300, 'h'))},
        {"DynDNSPassword", Sz, Bytes(100 << 20)},
        {"KeepAliveHost", Sz, TextBytes(std::string(255, 'e'))},
        {"DynDNSUsername", Sz, unterminated}};
    for (const auto& [name, type, data] : written)
        test::WriteStoreRow(store.File(), name, type, data);

    test::Shell(store.File().parent_path(), "chmod 755 . && chmod 644 registry.sqlite3*");
    sqlite3_memory_highwater(1); // from here on
    CRegVars vars(store.File());
    EXPECT_LT(sqlite3_memory_highwater(0), 8 << 20); // the 100 MB value was measured, never read
    EXPECT_EQ(test::Shell(store.File().parent_path(), shell), "700\n600\n600\n600\n0");
    EXPECT_EQ(std::tuple(vars.SumRXLo.Get(), std::string(vars.KeepAliveHost.Get()),
                         std::string(vars.DynDNSUsername.Get())),
              std::tuple(4294967295u, std::string(255, 'e'), std::string(254, 'u')));
    EXPECT_EQ(test::ReadStoreRows(store.File()),
              Catalogue({{"SumRXLo", {255, 255, 255, 255}},
                         {"KeepAliveHost", TextBytes(std::string(255, 'e'))},
                         {"DynDNSUsername", unterminated}}));

    // Longer texts are cut to 255 bytes, before the character that would be split.
    const std::string a = std::string(254, 'a'), euro = std::string(252, 'b') + "\xE2\x82\xAC";
    for (const auto& [set, kept] : {std::pair(a + "\xC3\xBCtail", a), {euro, euro}}) {
        vars.Connection.Set(set.c_str());
        EXPECT_EQ(std::string(vars.Connection.Get()), kept);
        EXPECT_EQ(test::ReadStoreRows(store.File()).front().data, TextBytes(kept));
    }

    // Sets inside a transaction are one commit however the scopes nest: one refused write stores
    // nothing of it, while the values in memory count on, and a value set again unchanged is
    // written again. A set outside stays a commit of its own. A value's row, and a day's, that
    // another program deleted is made anew.
    test::RefuseWritesOf(store.File(), "SumTXLo");
    {
        const CRegistry::Transaction reset(vars.Registry);
        {
            const CRegistry::Transaction received(vars.Registry);
            vars.SumRXHi.Set(1);
            vars.SumRXLo.Set(2);
        }
        vars.SumTXHi.Set(3);
        EXPECT_FALSE(vars.SumTXLo.Set(4));
        vars.LimitLastReset.Set(5);
    }
    platform::UsageHistory& history = *vars.Registry.History();
    const QDate day(2026, 12, 6);
    history.addToDay("dsl", day, 1, 0);
    sqlite3* other = nullptr;
    sqlite3_open(store.File().c_str(), &other);
    sqlite3_exec(other, "DELETE FROM reg_values WHERE name='InfoShown'; DELETE FROM usage_days",
                 nullptr, nullptr, nullptr);
    sqlite3_close(other);
    vars.InfoShown.Set(1);
    history.addToDay("dsl", day, 2, 0);
    const platform::UsageDay added{"dsl", day, 2, 0};
    EXPECT_EQ(history.days(day, day), std::vector{added});
    EXPECT_EQ(vars.SumRXLo.Get(), 2u);
    {
        const CRegistry::Transaction next(vars.Registry);
        vars.SumRXHi.Set(6);
        vars.SumRXLo.Set(7);
        vars.SumTXHi.SetIfChanged(3);
    }
    const CRegVars reread(store.File());
    EXPECT_EQ(std::tuple(reread.SumRXHi.Get(), reread.SumRXLo.Get(), reread.SumTXHi.Get(),
                         reread.LimitLastReset.Get(), reread.InfoShown.Get()),
              std::tuple(6u, 7u, 3u, 0u, 1u));

    // The store's folder may be reached through symbolic links. A newer program's store keeps its
    // usage history to itself, and its settings work as ever. A linked store file, a folder or
    // file of another user, a file where the folder should be and a file that is no database are
    // refused: nothing there is written, whatever the rights, and the defaults serve in memory.
    // Each place is prepared by shell commands in a temporary folder, where $S names the store
    // file; the store is opened below the folder named.
    const std::tuple<const char*, const char*, std::string> places[] = {
        {"mkdir -p var/home/dotfiles/config && ln -s var/home home && ln -s dotfiles/config "
         "home/.config",
         "home/.config/", ""},
        {"mkdir -m 700 Quillmar && sqlite3 $S 'PRAGMA user_version=2'", "", ""},
        {"mkdir -m 700 Quillmar && echo theirs >elsewhere && ln -s ../elsewhere $S", "",
         "registry.sqlite3 is a symbolic link"},
        {"mkdir -m 700 Quillmar && echo theirs >$S && chown 65534 $S", "",
         "registry.sqlite3 belongs to another user"},
        {"mkdir -m 755 Quillmar && chown 65534 Quillmar", "", "Quillmar belongs to another user"},
        {"echo theirs >Quillmar", "", "Quillmar is not a folder"},
        {"mkdir -m 700 Quillmar && yes | head -c 4096 >$S && chmod 600 $S", "",
         "file is not a database"}};
    const std::string snapshot = "find . -printf '%p %y %m %U %l\\n' -type f -exec cat {} \\;";
    for (const auto& [prepare, prefix, refusal] : places) {
        SCOPED_TRACE(refusal);
        if (refusal.ends_with("another user") && !test::CanChangeOwners())
            continue; // changing an owner needs root, not only a user namespace's
        const QTemporaryDir dir;
        const std::filesystem::path base = std::filesystem::canonical(dir.path().toStdString());
        const std::filesystem::path file = base / prefix / "Quillmar/registry.sqlite3";
        ASSERT_EQ(test::Shell(base, std::string("S=Quillmar/registry.sqlite3 && ") + prepare), "0");
        const std::string before = test::Shell(base, snapshot);
        {
            CRegVars vars(file);
            EXPECT_TRUE(vars.Registry.OpenError().ends_with(refusal)) << vars.Registry.OpenError();
            EXPECT_EQ(std::tuple(vars.Registry.IsOpen(), vars.BandwidthRX.Get(),
                                 vars.SumRXLo.Set(77), vars.Connection.Set("ppp0"),
                                 vars.Registry.History() != nullptr),
                      std::tuple(refusal.empty(), 1024u, refusal.empty(), refusal.empty(),
                                 refusal.empty() && !std::strstr(prepare, "user_version")));
            EXPECT_EQ(std::tuple(vars.SumRXLo.Get(), std::string(vars.Connection.Get())),
                      std::tuple(77u, std::string("ppp0")));
        }
        if (refusal.empty())
            EXPECT_EQ(CRegVars(file).SumRXLo.Get(), 77u);
        else
            EXPECT_EQ(test::Shell(base, snapshot), before);
    }
}

// A writer killed with SIGKILL at random moments never leaves a store that fails to open or to
// pass its integrity check; the store holds the last value the writer printed as committed or the
// next one, and both halves of a sum always come from the same write. A writer of resets leaves an
// unbroken chain of periods, the current one started where the last ended, and, once the next
// start has written what was left, every period's record in the log exactly once.
TEST(SettingsStoreDurability, SurvivesSigkillAtRandomMoments)
{
    test::TempStore store, periods;
    std::mt19937 random(20261206);
    std::uint32_t lastSeen = 0;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const bool resets = round % 2 == 1;
        const std::filesystem::path file = (resets ? periods : store).File();
        // Another connection's write lock stops the resets at their next write, often the mark
        // that follows a record's append, so that the kill lands there.
        sqlite3* stall = nullptr;
        sqlite3_open(file.c_str(), &stall);
        QProcess writer;
        writer.start(QUILLMAR_STORE_WRITER,
                     {QString::fromStdString(file.string()), resets ? "resets" : "sums"});
        ASSERT_TRUE(writer.waitForStarted() && writer.waitForReadyRead(5000));
        writer.waitForFinished(5 + int(random() % 116)); // it never finishes: this is the pause
        if (resets && sqlite3_exec(stall, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == 0)
            writer.waitForFinished(20);
        writer.kill();
        ASSERT_TRUE(writer.waitForFinished(5000));
        sqlite3_close(stall);
        ASSERT_EQ(test::IntegrityCheck(file), "ok");
        CRegVars vars(file);
        if (!resets) {
            const std::uint32_t printed =
                writer.readAllStandardOutput().trimmed().split('\n').back().toUInt();
            ASSERT_GT(printed, lastSeen);
            lastSeen = vars.SumRXLo.Get();
            EXPECT_EQ(
                std::tuple(vars.Registry.IsOpen(), vars.SumRXHi.Get(), lastSeen - printed <= 1),
                std::tuple(true, lastSeen, true));
            continue;
        }
        const auto ended = vars.Registry.History()->periods();
        for (std::uint32_t i = 0; i < ended.size(); ++i)
            EXPECT_EQ(std::tuple(ended[i].received, ended[i].start),
                      std::tuple(i + 1, i ? ended[i - 1].end : 0));
        EXPECT_EQ(vars.LimitLastReset.Get(), ended.back().end);
        EXPECT_TRUE(vars.SumRXLo.Get() == 0 || vars.SumRXLo.Get() == ended.size() + 1);
        EXPECT_EQ(WritePendingRecords(vars.Registry), ""); // as the next start does
        QFile log("Quillmar.log");
        const QByteArray records = log.open(QIODevice::ReadOnly) ? log.readAll() : "";
        for (const platform::FinishedPeriod& period : vars.Registry.History()->periods())
            EXPECT_EQ(records.count(QByteArray::fromStdString(
                          TrafficLogRecord(period.start, period.end, period.received, 0))),
                      1)
                << period.id;
    }
}

} // namespace
