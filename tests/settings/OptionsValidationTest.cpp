#include "settings/OptionsHarness.h"
#include "settings/StoreRows.h"

#include <gtest/gtest.h>

using test::OptionsHarness;

namespace {

using Snapshot = std::vector<std::pair<std::string, std::vector<unsigned char>>>;

Snapshot StoreSnapshot(const std::filesystem::path& file)
{
    Snapshot values;
    for (const auto& row : test::ReadStoreRows(file))
        values.emplace_back(row.name, row.data);
    return values;
}

void ExpectErrorBox(const std::optional<test::SeenBox>& box, const char* message)
{
    ASSERT_TRUE(box) << "no message box for: " << message;
    EXPECT_EQ(box->text, message);
    EXPECT_EQ(box->caption, "Error");
    EXPECT_EQ(box->icon, QMessageBox::Warning);
}

struct FaultRow {
    const char* fault;
    void (*stored)(CRegVars&);
    void (*typed)(OptionsHarness&);
    const char* message;
};

void PrintTo(const FaultRow& row, std::ostream* os)
{
    *os << row.fault;
}

void NothingStored(CRegVars&) {}

void DynDnsOn(OptionsHarness& h, const char* host, const char* user, const char* password)
{
    h.SetChecked("ckAutoUpdate", true);
    h.Type("eHostname", host);
    h.Type("eUsername", user);
    h.Type("ePassword", password);
}

class OptionsFault : public testing::TestWithParam<FaultRow> {};

TEST_P(OptionsFault, ReportsTheFirstFaultAndStoresNothing)
{
    const FaultRow& row = GetParam();
    OptionsHarness h;
    row.stored(h.vars);
    const Snapshot before = StoreSnapshot(h.store.File());
    h.Open();
    row.typed(h);

    ExpectErrorBox(h.PressOk(), row.message);
    EXPECT_TRUE(h.form.isVisible());
    EXPECT_EQ(StoreSnapshot(h.store.File()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OptionsFault,
    testing::Values(FaultRow{"blank connection", NothingStored,
                             [](OptionsHarness& h) { h.Type("cbPhoneEntries", "   "); },
                             "No connection selected!"},
                    FaultRow{"rx below range", NothingStored,
                             [](OptionsHarness& h) { h.Type("cbBandwidthRX", "7"); },
                             "Invalid bandwidth RX! Please enter a number between 8 and 26000."},
                    FaultRow{"tx letters", NothingStored,
                             [](OptionsHarness& h) { h.Type("cbBandwidthTX", "abc"); },
                             "Invalid bandwidth TX! Please enter a number between 8 and 26000."},
                    FaultRow{"scaling out of list", [](CRegVars& v) { v.HistoryScaling.Set(4); },
                             [](OptionsHarness&) {}, "No scaling selected!"},
                    FaultRow{"update speed above range", NothingStored,
                             [](OptionsHarness& h) { h.Type("cbUpdateSpeed", "61"); },
                             "Invalid update speed! Please enter a number between 1 and 60."},
                    FaultRow{"limit zero", NothingStored,
                             [](OptionsHarness& h) { h.Type("cbLimit", "0"); },
                             "Invalid traffic limit! Please enter a number between 1 and 1000000."},
                    FaultRow{"auto-reset out of list",
                             [](CRegVars& v) { v.LimitAutoReset.Set(29); }, [](OptionsHarness&) {},
                             "No day for auto-reset selected!"},
                    FaultRow{"dyndns blank host", NothingStored,
                             [](OptionsHarness& h) { DynDnsOn(h, "  ", "user", "secret"); },
                             "No hostname entered for DynDNS!"},
                    FaultRow{"dyndns empty user", NothingStored,
                             [](OptionsHarness& h) { DynDnsOn(h, "host", "", "secret"); },
                             "No username entered for DynDNS!"},
                    FaultRow{"dyndns empty password", NothingStored,
                             [](OptionsHarness& h) { DynDnsOn(h, "host", "user", ""); },
                             "No password entered for DynDNS!"},
                    FaultRow{"keep-alive time zero while off", NothingStored,
                             [](OptionsHarness& h) { h.Type("cbKeepAliveTime", "0"); },
                             "Invalid keep-alive time! Please enter a number between 1 and 60."},
                    FaultRow{"ntp host blank while on", NothingStored,
                             [](OptionsHarness& h) {
                                 h.SetChecked("ckKeepAliveEnabled", true);
                                 h.Type("eKeepAliveHost", "   ");
                             },
                             "No hostname entered for NTP server!"},
                    // Several faults: only the first in checking order is reported.
                    FaultRow{"empty connection hides bad rx", NothingStored,
                             [](OptionsHarness& h) {
                                 h.Type("cbPhoneEntries", "");
                                 h.Type("cbBandwidthRX", "7");
                             },
                             "No connection selected!"},
                    FaultRow{"bad limit hides bad keep-alive time", NothingStored,
                             [](OptionsHarness& h) {
                                 h.Type("cbKeepAliveTime", "0");
                                 h.Type("cbLimit", "1000001");
                             },
                             "Invalid traffic limit! Please enter a number between 1 and 1000000."},
                    FaultRow{"dyndns host hides ntp host", NothingStored,
                             [](OptionsHarness& h) {
                                 h.SetChecked("ckKeepAliveEnabled", true);
                                 h.Type("eKeepAliveHost", "");
                                 DynDnsOn(h, "", "", "");
                             },
                             "No hostname entered for DynDNS!"}));

struct EdgeRow {
    const char* control;
    const char* text;
    const char* message; // nullptr: passes
    CRegDWORD CRegVars::*setting;
    std::uint32_t stored;
};

void PrintTo(const EdgeRow& row, std::ostream* os)
{
    *os << row.control << " \"" << row.text << '"';
}

class OptionsNumberEdge : public testing::TestWithParam<EdgeRow> {};

TEST_P(OptionsNumberEdge, PassesWithItsNumberOrFailsWithTheRangeMessage)
{
    const EdgeRow& row = GetParam();
    OptionsHarness h;
    h.Open();
    h.Type(row.control, row.text);
    const auto box = h.PressOk();
    if (row.message) {
        ExpectErrorBox(box, row.message);
        EXPECT_TRUE(h.form.isVisible());
    } else {
        EXPECT_FALSE(box) << box->text.toStdString();
        EXPECT_EQ(h.form.result(), QDialog::Accepted);
        EXPECT_EQ((h.vars.*row.setting).Get(), row.stored);
    }
}

constexpr const char* RxRange = "Invalid bandwidth RX! Please enter a number between 8 and 26000.";
constexpr const char* LimitRange =
    "Invalid traffic limit! Please enter a number between 1 and 1000000.";
constexpr const char* SpeedRange = "Invalid update speed! Please enter a number between 1 and 60.";

INSTANTIATE_TEST_SUITE_P(
    Rows, OptionsNumberEdge,
    testing::Values(EdgeRow{"cbBandwidthRX", "7", RxRange, &CRegVars::BandwidthRX, 0},
                    EdgeRow{"cbBandwidthRX", "8", nullptr, &CRegVars::BandwidthRX, 8},
                    EdgeRow{"cbBandwidthRX", "26000", nullptr, &CRegVars::BandwidthRX, 26000},
                    EdgeRow{"cbBandwidthRX", "26001", RxRange, &CRegVars::BandwidthRX, 0},
                    EdgeRow{"cbBandwidthRX", "128 kbit", nullptr, &CRegVars::BandwidthRX, 128},
                    EdgeRow{"cbBandwidthRX", "4294967304", RxRange, &CRegVars::BandwidthRX, 0},
                    EdgeRow{"cbLimit", "1000000", nullptr, &CRegVars::TrafficLimit, 1000000},
                    EdgeRow{"cbLimit", "1000001", LimitRange, &CRegVars::TrafficLimit, 0},
                    EdgeRow{"cbLimit", "0", LimitRange, &CRegVars::TrafficLimit, 0},
                    EdgeRow{"cbLimit", "99999999999999999999", LimitRange, &CRegVars::TrafficLimit,
                            0},
                    EdgeRow{"cbUpdateSpeed", " 60 ", nullptr, &CRegVars::HistoryUpdateSpeed, 60},
                    EdgeRow{"cbUpdateSpeed", "+5", nullptr, &CRegVars::HistoryUpdateSpeed, 5},
                    EdgeRow{"cbUpdateSpeed", "abc", SpeedRange, &CRegVars::HistoryUpdateSpeed, 0},
                    EdgeRow{"cbUpdateSpeed", "", SpeedRange, &CRegVars::HistoryUpdateSpeed, 0},
                    EdgeRow{"cbUpdateSpeed", "-5", SpeedRange, &CRegVars::HistoryUpdateSpeed, 0}));

TEST(OptionsValidation, CancelAfterAFaultClosesWithoutStoringWhatPassed)
{
    OptionsHarness h;
    const Snapshot before = StoreSnapshot(h.store.File());
    h.Open();
    h.Type("cbBandwidthRX", "2048");
    h.Type("cbPhoneEntries", "wlan0");
    h.Type("cbLimit", "0");
    ASSERT_TRUE(h.PressOk());
    h.PressCancel();
    EXPECT_FALSE(h.form.isVisible());
    EXPECT_EQ(h.form.result(), QDialog::Rejected);
    EXPECT_EQ(StoreSnapshot(h.store.File()), before);
    EXPECT_EQ(h.vars.BandwidthRX.Get(), 1024u);
}

TEST(OptionsValidation, OkAgainAfterAFaultChecksFromTheStart)
{
    OptionsHarness h;
    h.vars.HistoryScaling.Set(7);
    h.Open();
    h.Type("cbLimit", "0");
    ExpectErrorBox(h.PressOk(), "No scaling selected!");
    h.Type("cbPhoneEntries", "");
    ExpectErrorBox(h.PressOk(), "No connection selected!");
}

} // namespace
