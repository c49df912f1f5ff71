#include "TestEnvironment.h"
#include "settings/RegVars.h"
#include "settings/StoreRows.h"

#include <QProcess>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
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

} // namespace

// The store lives in a folder and file that only the user may read.
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
    struct stat file {};
    struct stat dir {};
    ASSERT_EQ(::stat(store.File().c_str(), &file), 0);
    ASSERT_EQ(::stat(store.File().parent_path().c_str(), &dir), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    EXPECT_EQ(dir.st_mode & 0777, 0700u);
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

    CRegVars vars(store.File());
    EXPECT_EQ(vars.SumRXLo.Get(), 4294967295u);
    EXPECT_STREQ(vars.Connection.Get(), "dsl0");
    EXPECT_EQ(vars.KeepAliveTime.Get(), 10u);
    EXPECT_STREQ(vars.DynDNSHostname.Get(), "");
    EXPECT_EQ(vars.TrafficLimit.Get(), 1000u);
    EXPECT_EQ(vars.BandwidthTX.Get(), 128u);

    const auto rows = ReadStoreRows(store.File());
    ASSERT_EQ(rows.size(), 26u);
    EXPECT_EQ(FindRow(rows, "KeepAliveTime")->type, Dword);
    EXPECT_EQ(FindRow(rows, "KeepAliveTime")->data, DwordBytes(10));
    EXPECT_EQ(FindRow(rows, "DynDNSHostname")->data, TextBytes(""));
    EXPECT_EQ(FindRow(rows, "TrafficLimit")->data, DwordBytes(1000));
    EXPECT_EQ(FindRow(rows, "BandwidthTX")->data, DwordBytes(128));
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

// A writer killed with SIGKILL at random moments never leaves a store that fails to open or to
// pass its integrity check, and the store holds one of the last values the writer committed.
TEST(SettingsStoreDurability, SurvivesSigkillAtRandomMoments)
{
    test::TempStore store;
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> pauseMs(5, 120);
    std::uint32_t lastSeen = 0;

    for (int round = 0; round < 25; ++round) {
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
        EXPECT_GE(vars.SumRXHi.Get(), vars.SumRXLo.Get()); // Hi is always written first
        lastSeen = vars.SumRXLo.Get();
    }
}
