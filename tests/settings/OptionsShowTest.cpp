#include "settings/OptionsHarness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <gtest/gtest.h>

using test::OptionsHarness;

namespace {

QString TextOf(const OptionsHarness& h, const char* name)
{
    if (const auto* combo = h.form.findChild<QComboBox*>(name))
        return combo->currentText();
    return h.Find<QLineEdit>(name)->text();
}

TEST(OptionsShow, LoadsEveryControlFromTheSettings)
{
    OptionsHarness h;
    h.ras.entries = {"eth0", "wlan0"};
    CRegVars& v = h.vars;
    v.Connection.Set("wlan0");
    v.BandwidthRX.Set(3072);
    v.BandwidthTX.Set(384);
    v.AutoConnect.Set(1);
    v.KeepConnected.Set(0);
    v.KeepAliveEnabled.Set(1);
    v.KeepAliveHost.Set("pool.ntp.org");
    v.KeepAliveTime.Set(15);
    v.HistoryScaling.Set(2);
    v.HistoryUpdateSpeed.Set(5);
    v.TrafficLimit.Set(4294967295u);
    v.OnLimitShowMessage.Set(0);
    v.OnLimitCloseConnection.Set(7);
    v.LimitAutoReset.Set(28);
    v.DynDNSAutoUpdate.Set(1);
    v.DynDNSHostname.Set("me.example.org");
    v.DynDNSUsername.Set("me");
    v.DynDNSPassword.Set("secret");
    v.StartMinimized.Set(1);
    h.Open();

    const std::pair<const char*, QString> texts[] = {
        {"cbPhoneEntries", "wlan0"}, {"cbBandwidthRX", "3072"},
        {"cbBandwidthTX", "384"},    {"eKeepAliveHost", "pool.ntp.org"},
        {"cbKeepAliveTime", "15"},   {"cbHistScala", "MBit/s"},
        {"cbUpdateSpeed", "5"},      {"cbLimit", "4294967295"},
        {"cbLimitAutoReset", "28"},  {"eHostname", "me.example.org"},
        {"eUsername", "me"},         {"ePassword", "secret"},
    };
    for (const auto& [name, text] : texts)
        EXPECT_EQ(TextOf(h, name), text) << name;
    const std::pair<const char*, bool> checks[] = {
        {"ckAutoConnect", true},    {"ckKeepConnected", false}, {"ckKeepAliveEnabled", true},
        {"ckLimitMessage", false},  {"ckLimitClose", true},     {"ckAutoUpdate", true},
        {"ckStartMinimized", true},
    };
    for (const auto& [name, checked] : checks)
        EXPECT_EQ(h.Find<QCheckBox>(name)->isChecked(), checked) << name;
}

TEST(OptionsShow, EachShowingReplacesCancelledEdits)
{
    OptionsHarness h;
    h.Open();
    h.Type("cbBandwidthRX", "999");
    h.SetChecked("ckStartMinimized", true);
    h.Type("cbPhoneEntries", "ppp9");
    h.PressCancel();
    h.ras.entriesError = 5;
    h.Open();
    EXPECT_EQ(TextOf(h, "cbBandwidthRX"), "1024");
    EXPECT_FALSE(h.Find<QCheckBox>("ckStartMinimized")->isChecked());
    EXPECT_EQ(h.Find<QComboBox>("cbPhoneEntries")->count(), 0);
    EXPECT_EQ(TextOf(h, "cbPhoneEntries"), "");
    // With no items to clear, the typed name must go as well.
    h.Type("cbPhoneEntries", "ppp8");
    h.PressCancel();
    h.Open();
    EXPECT_EQ(TextOf(h, "cbPhoneEntries"), "");
}

struct EntryRow {
    const char* rule;
    std::vector<std::string> entries;
    std::uint32_t error;
    const char* connection;
    int items;
    int selected;
    const char* text;
};

void PrintTo(const EntryRow& row, std::ostream* os)
{
    *os << row.rule;
}

std::vector<std::string> Links(int count)
{
    std::vector<std::string> links;
    for (int i = 0; i < count; ++i)
        links.push_back("veth" + std::to_string(i));
    return links;
}

class OptionsPhoneEntries : public testing::TestWithParam<EntryRow> {};

TEST_P(OptionsPhoneEntries, ListsTheLinksAndSelectsTheLastExactMatch)
{
    const EntryRow& row = GetParam();
    OptionsHarness h;
    h.ras.entries = row.entries;
    h.ras.entriesError = row.error;
    h.vars.Connection.Set(row.connection);
    h.Open();
    const auto* combo = h.Find<QComboBox>("cbPhoneEntries");
    EXPECT_EQ(combo->count(), row.items);
    EXPECT_EQ(combo->currentIndex(), row.selected);
    EXPECT_EQ(combo->currentText(), row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OptionsPhoneEntries,
    testing::Values(
        EntryRow{"last of equal names", {"eth0", "wlan0", "eth0", "eth1"}, 0, "eth0", 4, 2, "eth0"},
        EntryRow{"case-sensitive", {"eth0", "wlan0"}, 0, "ETH0", 2, -1, ""},
        EntryRow{"no prefix match", {"eth0", "eth01"}, 0, "eth", 2, -1, ""},
        EntryRow{"not listed", {}, 0, "ppp0", 0, -1, ""},
        EntryRow{"service fails", {"eth0"}, 5, "eth0", 0, -1, ""},
        EntryRow{"fifty fit", Links(50), 0, "veth49", 50, 49, "veth49"},
        EntryRow{"fifty-one fail", Links(51), 0, "veth0", 0, -1, ""}));

} // namespace
