#include "TestEnvironment.h"
#include "platform/RegistryStore.h"
#include "settings/RegVars.h"
#include "settings/StoreRows.h"

#include <QProcess>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <pwd.h>
#include <random>
#include <sqlite3.h>
#include <sys/stat.h>

using test::ReadStoreRows;
using test::TextBytes;
using Bytes = std::vector<unsigned char>;

namespace {

constexpr std::uint32_t Sz = 1;
constexpr std::uint32_t Dword = 4;

// The catalogue's rows in creation order with their defaults (texts, -1, default to empty), and
// `changed` rows holding other data.
std::vector<test::StoreRow> Catalogue(const std::map<std::string, Bytes>& changed = {})
{
    const QStringList names =
        QString("Connection BandwidthRX BandwidthTX AutoConnect KeepConnected KeepAliveEnabled "
                "KeepAliveTime KeepAliveHost HistoryScaling HistoryUpdateSpeed ShowMore SumRXHi "
                "SumRXLo SumTXHi SumTXLo TrafficLimit OnLimitShowMessage OnLimitCloseConnection "
                "LimitAutoReset LimitLastReset DynDNSAutoUpdate DynDNSHostname DynDNSUsername "
                "DynDNSPassword StartMinimized InfoShown")
            .split(' ');
    const int defaults[] = {-1, 1024, 128,  0, 0, 0, 10, -1, 0,  2,  0,  0, 0,
                            0,  0,    1000, 1, 0, 0, 0,  0,  -1, -1, -1, 0, 0};
    std::vector<test::StoreRow> rows;
    for (int i = 0; i < names.size(); ++i) {
        const std::string name = names[i].toStdString();
        const auto low = static_cast<unsigned char>(defaults[i]);
        const Bytes data =
            defaults[i] < 0 ? TextBytes("") : Bytes{low, Bytes::value_type(defaults[i] >> 8), 0, 0};
        rows.push_back({CRegVars::KeyPath, name, defaults[i] < 0 ? Sz : Dword,
                        changed.contains(name) ? changed.at(name) : data});
    }
    return rows;
}

} // namespace

// The store lives in a folder and files that only the user may read.
TEST(SettingsStore, FirstRunWritesEveryDefaultInCatalogueOrderIntoPrivateFiles)
{
    test::TempStore store;
    CRegVars vars(store.File());
    EXPECT_EQ(ReadStoreRows(store.File()), Catalogue());
    EXPECT_EQ(vars.TrafficLimit.Get(), 1000u);
    const std::string file = store.File();
    const std::vector<std::string> paths = {store.File().parent_path(), file, file + "-wal",
                                            file + "-shm"}; // journals exist while `vars` is open
    const auto modes = [&] {
        std::vector<unsigned> modes;
        for (const auto& path : paths)
            modes.push_back(unsigned(std::filesystem::status(path).permissions()) & 07777);
        return modes;
    };
    const std::vector<unsigned> privateModes = {0700, 0600, 0600, 0600};
    EXPECT_EQ(modes(), privateModes);

    // Modes loosened by hand are repaired at the next start.
    for (const auto& path : paths)
        ::chmod(path.c_str(), path == paths[0] ? 0755 : 0644);
    CRegVars again(store.File());
    EXPECT_TRUE(again.Registry.IsOpen());
    EXPECT_EQ(modes(), privateModes);
}

// Values put in by hand or by another program: usable ones are read, a text up to 255 bytes and
// never cut inside a character; the others are replaced by their defaults, in place, so that
// creation order stays.
TEST(SettingsStore, StoredValuesAreReadBackOrReplacedByTheirDefaults)
{
    test::TempStore store;
    CRegVars(store.File()).SumRXLo.Set(4294967295u);
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

    sqlite3_memory_highwater(1); // from here on
    CRegVars vars(store.File());
    EXPECT_LT(sqlite3_memory_highwater(0), 8 << 20); // the 100 MB value was measured, never read
    EXPECT_EQ(std::tuple(vars.SumRXLo.Get(), vars.KeepAliveTime.Get(), vars.TrafficLimit.Get(),
                         vars.BandwidthTX.Get()),
              std::tuple(4294967295u, 10u, 1000u, 128u));
    EXPECT_EQ(std::string(vars.KeepAliveHost.Get()), std::string(255, 'e'));
    EXPECT_EQ(std::string(vars.DynDNSUsername.Get()), std::string(254, 'u'));
    EXPECT_EQ(std::string(vars.DynDNSHostname.Get()) + vars.DynDNSPassword.Get(), "");
    EXPECT_EQ(ReadStoreRows(store.File()),
              Catalogue({{"SumRXLo", {255, 255, 255, 255}},
                         {"KeepAliveHost", TextBytes(std::string(255, 'e'))},
                         {"DynDNSUsername", unterminated}}));

    // Longer texts are cut to 255 bytes, before the character that would be split.
    const std::string a = std::string(254, 'a'), euro = std::string(252, 'b') + "\xE2\x82\xAC";
    const std::pair<std::string, std::string> texts[] = {
        {std::string(300, 'p'), std::string(255, 'p')},
        {a + "\xC3\xBCtail", a},
        {euro, euro},
        {"", ""}};
    for (const auto& [set, kept] : texts) {
        vars.Connection.Set(set.c_str());
        EXPECT_EQ(std::string(vars.Connection.Get()), kept);
        EXPECT_EQ(ReadStoreRows(store.File()).front().data, TextBytes(kept));
    }
}

// Sets inside a transaction are one commit however the scopes nest: one refused write stores
// nothing of it. A set outside stays a commit of its own.
TEST(SettingsStore, ATransactionStoresAllItsSetsOrNone)
{
    test::TempStore store;
    CRegVars vars(store.File());
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
    vars.InfoShown.Set(1);
    EXPECT_EQ(vars.SumRXLo.Get(), 2u); // the values in memory count on
    {
        const CRegistry::Transaction next(vars.Registry);
        vars.SumRXHi.Set(6);
        vars.SumRXLo.Set(7);
    }
    const CRegVars reread(store.File());
    EXPECT_EQ(std::tuple(reread.SumRXHi.Get(), reread.SumRXLo.Get(), reread.SumTXHi.Get(),
                         reread.LimitLastReset.Get(), reread.InfoShown.Get()),
              std::tuple(6u, 7u, 0u, 0u, 1u));
}

// Only absolute paths count in XDG_CONFIG_HOME and HOME; without either, the home folder comes
// from the password database.
TEST(SettingsStore, TheStoreLiesInTheConfigFolderOfAnAbsolutePath)
{
    const std::string passwd = ::getpwuid(::getuid())->pw_dir + std::string("/.config");
    const std::tuple<const char*, const char*, std::string> rows[] = {
        {"/cfg", "/home/u", "/cfg"},
        {"", "/home/u", "/home/u/.config"},
        {"relative/cfg", "/home/u", "/home/u/.config"},
        {nullptr, "relative", passwd},
        {"relative/cfg", nullptr, passwd}};
    for (const auto& [config, home, expected] : rows) {
        const test::ScopedVariable configVariable("XDG_CONFIG_HOME", config),
            homeVariable("HOME", home);
        EXPECT_EQ(platform::defaultRegistryFile(),
                  std::filesystem::path(expected) / "Quillmar" / "registry.sqlite3");
    }
}

namespace {

// Every entry below `base` with its type, mode, owner and bytes (or link target).
std::map<std::string, std::string> Snapshot(const std::filesystem::path& base)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(base)) {
        struct stat s {};
        ::lstat(entry.path().c_str(), &s);
        std::string& text = entries[entry.path()] =
            std::to_string(s.st_mode) + ' ' + std::to_string(s.st_uid) + ' ';
        if (S_ISLNK(s.st_mode))
            text += std::filesystem::read_symlink(entry.path());
        else if (S_ISREG(s.st_mode))
            text.append(std::istreambuf_iterator<char>(std::ifstream(entry.path()).rdbuf()), {});
    }
    return entries;
}

} // namespace

// The store's folder may be reached through symbolic links. A linked store file, a folder or file
// of another user, a file where the folder should be and a file that is no database are refused:
// nothing there is written, whatever the rights, and the defaults serve in memory.
TEST(SettingsStore, IsUsedOnlyWhereItIsTheUsersOwn)
{
    // Prepared by shell commands in the temporary folder, where $S names the store file; the store
    // is opened below the folder named.
    const std::tuple<const char*, const char*, std::string> places[] = {
        {"mkdir -p var/home/dotfiles/config && ln -s var/home home && ln -s dotfiles/config "
         "home/.config",
         "home/.config/", ""},
        {"mkdir -m 700 Quillmar && echo theirs >elsewhere && ln -s ../elsewhere $S", "",
         "registry.sqlite3 is a symbolic link"},
        {"mkdir -m 700 Quillmar && echo theirs >$S && chown 65534 $S", "",
         "registry.sqlite3 belongs to another user"},
        {"mkdir -m 755 Quillmar && chown 65534 Quillmar", "", "Quillmar belongs to another user"},
        {"echo theirs >Quillmar", "", "Quillmar is not a folder"},
        {"mkdir -m 700 Quillmar && yes | head -c 4096 >$S && chmod 600 $S", "",
         "file is not a database"}};
    for (const auto& [prepare, prefix, refusal] : places) {
        SCOPED_TRACE(refusal);
        if (refusal.ends_with("another user") && ::geteuid() != 0)
            continue; // changing an owner needs root
        const QTemporaryDir dir;
        const std::filesystem::path base = std::filesystem::canonical(dir.path().toStdString());
        const std::filesystem::path file = base / prefix / "Quillmar/registry.sqlite3";
        const std::string shell = "cd " + base.string() + " && S=Quillmar/registry.sqlite3 && ";
        ASSERT_EQ(std::system((shell + prepare).c_str()), 0);
        const auto before = Snapshot(base);
        {
            CRegVars vars(file);
            EXPECT_EQ(vars.Registry.IsOpen(), refusal.empty());
            EXPECT_TRUE(vars.Registry.OpenError().ends_with(refusal)) << vars.Registry.OpenError();
            EXPECT_EQ(vars.BandwidthRX.Get(), 1024u);
            EXPECT_EQ(vars.SumRXLo.Set(77), refusal.empty());
            EXPECT_EQ(vars.Connection.Set("ppp0"), refusal.empty());
            EXPECT_EQ(std::tuple(vars.SumRXLo.Get(), std::string(vars.Connection.Get())),
                      std::tuple(77u, std::string("ppp0")));
        }
        if (refusal.empty())
            EXPECT_EQ(CRegVars(file).SumRXLo.Get(), 77u);
        else
            EXPECT_EQ(Snapshot(base), before);
    }
}

// A writer killed with SIGKILL at random moments never leaves a store that fails to open or to
// pass its integrity check; the store holds one of the last values the writer committed, and both
// halves of a sum always come from the same write.
TEST(SettingsStoreDurability, SurvivesSigkillAtRandomMoments)
{
    test::TempStore store;
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> pauseMs(5, 120);
    std::uint32_t lastSeen = 0;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        QProcess writer;
        writer.start(QUILLMAR_STORE_WRITER, {QString::fromStdString(store.File().string())});
        ASSERT_TRUE(writer.waitForStarted() && writer.waitForReadyRead(5000));
        writer.waitForFinished(pauseMs(random)); // the writer never finishes: this is the pause
        writer.kill();
        ASSERT_TRUE(writer.waitForFinished(5000));
        const std::uint32_t lastPrinted =
            writer.readAllStandardOutput().trimmed().split('\n').back().toUInt();
        ASSERT_GT(lastPrinted, lastSeen);
        ASSERT_EQ(test::IntegrityCheck(store.File()), "ok");
        CRegVars vars(store.File());
        ASSERT_TRUE(vars.Registry.IsOpen());
        // The value after the last printed one may have been committed just before the kill.
        EXPECT_GE(vars.SumRXLo.Get(), lastPrinted);
        EXPECT_LE(vars.SumRXLo.Get(), lastPrinted + 1);
        EXPECT_EQ(vars.SumRXHi.Get(), vars.SumRXLo.Get());
        lastSeen = vars.SumRXLo.Get();
    }
}
