#include "TestEnvironment.h"
#include "platform/RegistryStore.h"
#include "settings/RegVars.h"
#include "settings/StoreRows.h"

#include <QProcess>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <pwd.h>
#include <random>
#include <sqlite3.h>
#include <sys/stat.h>

using test::DwordBytes;
using test::ReadStoreRows;
using test::TextBytes;

namespace {

constexpr std::uint32_t Sz = 1;
constexpr std::uint32_t Dword = 4;

// The catalogue in creation order with its defaults; text values (-1) default to empty.
const QStringList Names =
    QString("Connection BandwidthRX BandwidthTX AutoConnect KeepConnected KeepAliveEnabled "
            "KeepAliveTime KeepAliveHost HistoryScaling HistoryUpdateSpeed ShowMore SumRXHi "
            "SumRXLo SumTXHi SumTXLo TrafficLimit OnLimitShowMessage OnLimitCloseConnection "
            "LimitAutoReset LimitLastReset DynDNSAutoUpdate DynDNSHostname DynDNSUsername "
            "DynDNSPassword StartMinimized InfoShown")
        .split(' ');
const std::int64_t Defaults[] = {-1, 1024, 128,  0, 0, 0, 10, -1, 0,  2,  0,  0, 0,
                                 0,  0,    1000, 1, 0, 0, 0,  0,  -1, -1, -1, 0, 0};

const test::StoreRow* FindRow(const std::vector<test::StoreRow>& rows, const std::string& name)
{
    for (const auto& row : rows)
        if (row.name == name)
            return &row;
    return nullptr;
}

std::vector<unsigned> Modes(const std::vector<std::string>& paths)
{
    std::vector<unsigned> modes;
    for (const auto& path : paths) {
        struct stat status {};
        modes.push_back(::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0);
    }
    return modes;
}

} // namespace

// The store lives in a folder and files that only the user may read.
TEST(SettingsStore, FirstRunWritesEveryDefaultInCatalogueOrder)
{
    test::TempStore store;
    CRegVars vars(store.File());

    const auto rows = ReadStoreRows(store.File());
    ASSERT_EQ(rows.size(), std::size(Defaults));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].key, "HKEY_CURRENT_USER\\Software\\Quillmar");
        EXPECT_EQ(rows[i].name, Names[i].toStdString());
        EXPECT_EQ(rows[i].type, Defaults[i] < 0 ? Sz : Dword);
        EXPECT_EQ(rows[i].data, Defaults[i] < 0
                                    ? TextBytes("") // one byte: the terminating zero
                                    : DwordBytes(static_cast<std::uint32_t>(Defaults[i])));
    }
    EXPECT_EQ(vars.TrafficLimit.Get(), 1000u);
    const std::string file = store.File();
    const std::vector<std::string> paths = {store.File().parent_path(), file, file + "-wal",
                                            file + "-shm"}; // journals exist while `vars` is open
    const std::vector<unsigned> privateModes = {0700, 0600, 0600, 0600};
    EXPECT_EQ(Modes(paths), privateModes);

    // Modes loosened by hand are repaired at the next start.
    for (const auto& path : paths)
        ::chmod(path.c_str(), path == paths[0] ? 0755 : 0644);
    CRegVars again(store.File());
    EXPECT_TRUE(again.Registry.IsOpen());
    EXPECT_EQ(Modes(paths), privateModes);
}

// Values survive a restart, rewritten in place so that creation order stays; unusable ones are
// replaced by their defaults.
TEST(SettingsStore, StoredValuesAreReadBackOrReplacedByTheirDefaults)
{
    test::TempStore store;
    {
        CRegVars first(store.File());
        first.SumRXLo.Set(4294967295u);
        first.Connection.Set("dsl0");
    }
    test::WriteStoreRow(store.File(), "KeepAliveTime", Sz, TextBytes("5"));
    test::WriteStoreRow(store.File(), "DynDNSHostname", Sz, TextBytes(std::string(300, 'h')));
    test::WriteStoreRow(store.File(), "TrafficLimit", Dword, {0x10, 0x27});            // two bytes
    test::WriteStoreRow(store.File(), "BandwidthTX", Dword, {1, 0, 0, 0, 0, 0, 0, 0}); // eight
    test::WriteStoreRow(store.File(), "DynDNSPassword", Sz, std::vector<unsigned char>(100 << 20));

    sqlite3_memory_highwater(1); // from here on
    CRegVars vars(store.File());
    // The 100 MB value was measured, never read.
    EXPECT_LT(sqlite3_memory_highwater(0), 8 << 20);
    EXPECT_EQ(vars.SumRXLo.Get(), 4294967295u);
    EXPECT_STREQ(vars.Connection.Get(), "dsl0");
    EXPECT_EQ(vars.KeepAliveTime.Get(), 10u);
    EXPECT_STREQ(vars.DynDNSHostname.Get(), "");
    EXPECT_STREQ(vars.DynDNSPassword.Get(), "");
    EXPECT_EQ(vars.TrafficLimit.Get(), 1000u);
    EXPECT_EQ(vars.BandwidthTX.Get(), 128u);

    const auto rows = ReadStoreRows(store.File());
    ASSERT_EQ(rows.size(), 26u);
    EXPECT_EQ(FindRow(rows, "KeepAliveTime")->type, Dword);
    EXPECT_EQ(FindRow(rows, "KeepAliveTime")->data, DwordBytes(10));
    EXPECT_EQ(FindRow(rows, "DynDNSHostname")->data, TextBytes(""));
    EXPECT_EQ(FindRow(rows, "TrafficLimit")->data, DwordBytes(1000));
    EXPECT_EQ(FindRow(rows, "BandwidthTX")->data, DwordBytes(128));
    EXPECT_EQ(FindRow(rows, "DynDNSPassword")->data, TextBytes(""));
    EXPECT_EQ(rows[6].name, "KeepAliveTime");
    EXPECT_EQ(rows[12].name, "SumRXLo");
    EXPECT_EQ(rows[12].data, DwordBytes(4294967295u));
    EXPECT_EQ(rows[0].data, TextBytes("dsl0"));
}

TEST(SettingsStore, TextsAreKeptUpTo255BytesAndNeverCutInsideACharacter)
{
    test::TempStore store;
    {
        CRegVars first(store.File());
    }
    const std::string exact(255, 'e');
    test::WriteStoreRow(store.File(), "KeepAliveHost", Sz, TextBytes(exact));
    // 256 bytes with no terminating zero, the last one the first half of "é".
    std::vector<unsigned char> unterminated(254, 'u');
    unterminated.push_back(0xC3);
    unterminated.push_back(0xA9);
    test::WriteStoreRow(store.File(), "DynDNSUsername", Sz, unterminated);

    CRegVars vars(store.File());
    EXPECT_EQ(std::string(vars.KeepAliveHost.Get()), exact);
    EXPECT_EQ(std::string(vars.DynDNSUsername.Get()), std::string(254, 'u'));

    vars.DynDNSPassword.Set(std::string(300, 'p').c_str());
    EXPECT_EQ(std::string(vars.DynDNSPassword.Get()), std::string(255, 'p'));
    EXPECT_EQ(FindRow(ReadStoreRows(store.File()), "DynDNSPassword")->data.size(), 256u);

    const std::string umlauts = std::string(254, 'a') + "\xC3\xBC" + "tail"; // ü at 254..255
    vars.Connection.Set(umlauts.c_str());
    EXPECT_EQ(std::string(vars.Connection.Get()), std::string(254, 'a'));
    EXPECT_EQ(FindRow(ReadStoreRows(store.File()), "Connection")->data.size(), 255u);

    const std::string euro = std::string(252, 'b') + "\xE2\x82\xAC"; // exactly 255 bytes
    vars.Connection.Set(euro.c_str());
    EXPECT_EQ(std::string(vars.Connection.Get()), euro);

    vars.Connection.Set("");
    EXPECT_EQ(FindRow(ReadStoreRows(store.File()), "Connection")->data, TextBytes(""));
}

// A plain file where the store's folder should be (creating the folder fails, even for root), or
// a file that is no database.
TEST(SettingsStore, AStoreThatCannotBeOpenedGivesDefaultsInMemory)
{
    test::TempStore unwritable;
    std::ofstream(unwritable.Dir() / "Quillmar") << "not a folder";
    test::TempStore corrupt;
    std::filesystem::create_directories(corrupt.File().parent_path());
    std::ofstream(corrupt.File()) << std::string(4096, '\x5a');
    for (const test::TempStore* store : {&unwritable, &corrupt}) {
        CRegVars vars(store->File());
        EXPECT_FALSE(vars.Registry.IsOpen());
        EXPECT_EQ(vars.BandwidthRX.Get(), 1024u);
        EXPECT_FALSE(vars.SumTXLo.Set(77));
        EXPECT_EQ(vars.SumTXLo.Get(), 77u);
        EXPECT_FALSE(vars.Connection.Set("ppp0"));
        EXPECT_STREQ(vars.Connection.Get(), "ppp0");
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

    CRegVars reread(store.File());
    EXPECT_EQ(reread.SumRXHi.Get(), 6u);
    EXPECT_EQ(reread.SumRXLo.Get(), 7u);
    EXPECT_EQ(reread.SumTXHi.Get(), 0u);
    EXPECT_EQ(reread.LimitLastReset.Get(), 0u);
    EXPECT_EQ(reread.InfoShown.Get(), 1u);
}

// Only absolute paths count in XDG_CONFIG_HOME and HOME; without either, the home folder comes
// from the password database.
TEST(SettingsStore, TheStoreLiesInTheConfigFolderOfAnAbsolutePath)
{
    const std::string fromPasswd = ::getpwuid(::getuid())->pw_dir;
    const struct {
        const char* config;
        const char* home;
        std::string expected;
    } rows[] = {
        {"/cfg", "/home/u", "/cfg"},
        {"", "/home/u", "/home/u/.config"},
        {"relative/cfg", "/home/u", "/home/u/.config"},
        {nullptr, "relative", fromPasswd + "/.config"},
        {"relative/cfg", nullptr, fromPasswd + "/.config"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.expected);
        const test::ScopedVariable config("XDG_CONFIG_HOME", row.config);
        const test::ScopedVariable home("HOME", row.home);
        EXPECT_EQ(platform::defaultRegistryFile(),
                  std::filesystem::path(row.expected) / "Quillmar" / "registry.sqlite3");
    }
}

namespace {

constexpr uid_t Nobody = 65534;

// A folder prepared by hand; the store is opened at `store`, and `refusal` ends the reason given
// when it must not be used (empty: it may).
struct StorePlace {
    const char* name;
    std::function<void(const std::filesystem::path& base)> prepare;
    std::filesystem::path store; // below the temporary folder
    std::string refusal;
    bool needsRoot = false;
};

void PrintTo(const StorePlace& place, std::ostream* out)
{
    *out << place.name;
}

// Every entry below `base` with its type, mode, owner and bytes (or link target).
std::map<std::filesystem::path, std::string> Snapshot(const std::filesystem::path& base)
{
    std::map<std::filesystem::path, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(base)) {
        struct stat status {};
        ::lstat(entry.path().c_str(), &status);
        std::string& text = entries[entry.path()];
        text = std::to_string(status.st_mode) + " " + std::to_string(status.st_uid) + " ";
        if (entry.is_symlink()) {
            text += std::filesystem::read_symlink(entry.path()).string();
        } else if (entry.is_regular_file()) {
            std::ifstream in(entry.path());
            text.append(std::istreambuf_iterator<char>(in), {});
        }
    }
    return entries;
}

class SettingsStorePlace : public ::testing::TestWithParam<StorePlace> {};

} // namespace

// The store's folder may be reached through symbolic links; a linked store file and a folder or
// file of another user are refused, and nothing there is written, whatever the rights.
TEST_P(SettingsStorePlace, IsUsedOnlyWhereItIsTheUsersOwn)
{
    const StorePlace& place = GetParam();
    if (place.needsRoot && ::geteuid() != 0)
        GTEST_SKIP() << "changing a file's owner needs root";
    const QTemporaryDir dir;
    const std::filesystem::path base = std::filesystem::canonical(dir.path().toStdString());
    place.prepare(base);
    const auto before = Snapshot(base);
    {
        CRegVars vars(base / place.store);
        EXPECT_EQ(vars.Registry.IsOpen(), place.refusal.empty());
        EXPECT_TRUE(vars.Registry.OpenError().ends_with(place.refusal))
            << vars.Registry.OpenError();
        vars.SumRXLo.Set(77);
    }
    if (!place.refusal.empty()) {
        EXPECT_EQ(Snapshot(base), before);
        return;
    }
    CRegVars reread(base / place.store);
    EXPECT_EQ(reread.SumRXLo.Get(), 77u);
}

INSTANTIATE_TEST_SUITE_P(
    Places, SettingsStorePlace,
    ::testing::Values(
        StorePlace{"LinkedHomeAndConfig",
                   [](const auto& base) {
                       std::filesystem::create_directories(base / "var/home/dotfiles/config");
                       std::filesystem::create_directory_symlink("var/home", base / "home");
                       std::filesystem::create_directory_symlink("dotfiles/config",
                                                                 base / "home/.config");
                   },
                   "home/.config/Quillmar/registry.sqlite3", ""},
        StorePlace{"LinkedStoreFile",
                   [](const auto& base) {
                       std::filesystem::create_directory(base / "Quillmar");
                       ::chmod((base / "Quillmar").c_str(), 0700);
                       std::ofstream(base / "elsewhere") << "not the store";
                       std::filesystem::create_symlink("../elsewhere",
                                                       base / "Quillmar/registry.sqlite3");
                   },
                   "Quillmar/registry.sqlite3", "registry.sqlite3 is a symbolic link"},
        StorePlace{
            "StoreOfAnotherUser",
            [](const auto& base) {
                CRegVars(base / "Quillmar/registry.sqlite3").Connection.Set("theirs");
                EXPECT_EQ(::chown((base / "Quillmar/registry.sqlite3").c_str(), Nobody, Nobody), 0);
            },
            "Quillmar/registry.sqlite3", "registry.sqlite3 belongs to another user", true},
        StorePlace{"FolderOfAnotherUser",
                   [](const auto& base) {
                       std::filesystem::create_directory(base / "Quillmar");
                       ::chmod((base / "Quillmar").c_str(), 0755);
                       EXPECT_EQ(::chown((base / "Quillmar").c_str(), Nobody, Nobody), 0);
                   },
                   "Quillmar/registry.sqlite3", "Quillmar belongs to another user", true}),
    [](const auto& info) { return std::string(info.param.name); });

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
        ASSERT_TRUE(writer.waitForStarted());
        ASSERT_TRUE(writer.waitForReadyRead(5000));
        writer.waitForFinished(pauseMs(random)); // the writer never finishes: this is the pause
        writer.kill();
        ASSERT_TRUE(writer.waitForFinished(5000));

        const QList<QByteArray> printed = writer.readAllStandardOutput().trimmed().split('\n');
        const std::uint32_t lastPrinted = printed.back().toUInt();
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
