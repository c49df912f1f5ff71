#include "settings/OptionsHarness.h"
#include "settings/RangeCheck.h"
#include "settings/StoreRows.h"

#include <QComboBox>
#include <gtest/gtest.h>

using test::OptionsHarness;

namespace {

// OK on a faulty dialog: the first fault in checking order, the dialog stays, nothing is written.
void ExpectRejected(OptionsHarness& h, const char* message)
{
    test::StartWriteLog(h.store.File());
    const auto box = h.PressOk();
    ASSERT_TRUE(box) << "no message box for: " << message;
    EXPECT_EQ(box->text, message);
    EXPECT_EQ(box->caption, "Error");
    EXPECT_EQ(box->icon, QMessageBox::Warning);
    EXPECT_TRUE(h.form.isVisible());
    EXPECT_EQ(test::TakeWriteLog(h.store.File()), std::vector<std::string>{});
}

constexpr const char* RxRange = "Invalid bandwidth RX! Please enter a number between 8 and 26000.";
constexpr const char* TxRange = "Invalid bandwidth TX! Please enter a number between 8 and 26000.";
constexpr const char* KeepAliveRange =
    "Invalid keep-alive time! Please enter a number between 1 and 60.";
constexpr const char* LimitRange =
    "Invalid traffic limit! Please enter a number between 1 and 1000000.";
constexpr const char* SpeedRange = "Invalid update speed! Please enter a number between 1 and 60.";
constexpr const char* DynDnsHost = "No hostname entered for DynDNS!";

// Texts typed into controls; check boxes take "on" or "off".
using Edits = std::vector<std::pair<const char*, const char*>>;

struct Row {
    Edits edits;
    const char* message; // nullptr: passes
    CRegDWORD CRegVars::*setting = nullptr;
    std::uint32_t stored = 0;
};

void PrintTo(const Row& row, std::ostream* os)
{
    for (const auto& [control, text] : row.edits)
        *os << control << "=\"" << text << "\" ";
}

class OptionsCheck : public testing::TestWithParam<Row> {};

TEST_P(OptionsCheck, PassesWithItsNumberOrReportsTheFirstFault)
{
    const Row& row = GetParam();
    OptionsHarness h;
    h.Open();
    for (const auto& [control, text] : row.edits) {
        if (QString(control).startsWith("ck"))
            h.SetChecked(control, QString(text) == "on");
        else
            h.Type(control, text);
    }
    if (row.message) {
        ExpectRejected(h, row.message);
    } else {
        const auto box = h.PressOk();
        EXPECT_FALSE(box) << box->text.toStdString();
        EXPECT_EQ(h.form.result(), QDialog::Accepted);
        EXPECT_EQ((h.vars.*row.setting).Get(), row.stored);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OptionsCheck,
    testing::Values(
        Row{{{"cbPhoneEntries", "   "}}, "No connection selected!"},
        Row{{{"cbBandwidthRX", "7"}}, RxRange},
        Row{{{"cbBandwidthRX", "8"}}, nullptr, &CRegVars::BandwidthRX, 8},
        Row{{{"cbBandwidthRX", "26000"}}, nullptr, &CRegVars::BandwidthRX, 26000},
        Row{{{"cbBandwidthRX", "26001"}}, RxRange},
        Row{{{"cbBandwidthRX", "128 kbit"}}, nullptr, &CRegVars::BandwidthRX, 128},
        Row{{{"cbBandwidthRX", "4294967304"}}, RxRange}, // wraps to 8 in 32 bits
        Row{{{"cbBandwidthTX", "abc"}}, TxRange}, Row{{{"cbUpdateSpeed", "61"}}, SpeedRange},
        Row{{{"cbUpdateSpeed", " 60 "}}, nullptr, &CRegVars::HistoryUpdateSpeed, 60},
        Row{{{"cbUpdateSpeed", "+5"}}, nullptr, &CRegVars::HistoryUpdateSpeed, 5},
        Row{{{"cbUpdateSpeed", "abc"}}, SpeedRange}, Row{{{"cbUpdateSpeed", ""}}, SpeedRange},
        Row{{{"cbUpdateSpeed", "-5"}}, SpeedRange},
        Row{{{"cbLimit", "1000000"}}, nullptr, &CRegVars::TrafficLimit, 1000000},
        Row{{{"cbLimit", "1000001"}}, LimitRange}, Row{{{"cbLimit", "0"}}, LimitRange},
        Row{{{"cbLimit", "99999999999999999999"}}, LimitRange},
        Row{{{"ckAutoUpdate", "on"}, {"eHostname", "  "}, {"eUsername", "u"}, {"ePassword", "p"}},
            DynDnsHost},
        Row{{{"ckAutoUpdate", "on"}, {"eHostname", "h"}, {"eUsername", ""}, {"ePassword", "p"}},
            "No username entered for DynDNS!"},
        Row{{{"ckAutoUpdate", "on"}, {"eHostname", "h"}, {"eUsername", "u"}, {"ePassword", ""}},
            "No password entered for DynDNS!"},
        Row{{{"ckKeepAliveEnabled", "off"}, {"cbKeepAliveTime", "0"}}, KeepAliveRange},
        Row{{{"ckKeepAliveEnabled", "on"}, {"eKeepAliveHost", "   "}},
            "No hostname entered for NTP server!"},
        // Several faults: only the first in checking order is reported.
        Row{{{"cbPhoneEntries", ""}, {"cbBandwidthRX", "7"}}, "No connection selected!"},
        Row{{{"cbBandwidthRX", "7"}, {"cbBandwidthTX", "7"}}, RxRange},
        Row{{{"cbBandwidthTX", "7"}, {"cbUpdateSpeed", "0"}}, TxRange},
        Row{{{"cbUpdateSpeed", "0"}, {"cbLimit", "0"}}, SpeedRange},
        Row{{{"ckAutoUpdate", "on"},
             {"eHostname", "h"},
             {"eUsername", "u"},
             {"ePassword", " "},
             {"cbKeepAliveTime", "0"}},
            "No password entered for DynDNS!"},
        Row{{{"ckKeepAliveEnabled", "on"}, {"eKeepAliveHost", ""}, {"cbKeepAliveTime", "61"}},
            KeepAliveRange},
        Row{{{"cbKeepAliveTime", "0"}, {"cbLimit", "1000001"}}, LimitRange},
        Row{{{"ckKeepAliveEnabled", "on"}, {"eKeepAliveHost", ""}, {"ckAutoUpdate", "on"}},
            DynDnsHost}));

TEST(OptionsValidation, AStoredIndexOutsideItsListShowsNoSelectionAndIsReported)
{
    const std::tuple<CRegDWORD CRegVars::*, std::uint32_t, const char*, const char*> rows[] = {
        {&CRegVars::HistoryScaling, 4, "cbHistScala", "No scaling selected!"},
        {&CRegVars::LimitAutoReset, 29, "cbLimitAutoReset", "No day for auto-reset selected!"}};
    for (const auto& [setting, stored, combo, message] : rows) {
        OptionsHarness h;
        (h.vars.*setting).Set(stored);
        h.Open();
        EXPECT_EQ(h.Find<QComboBox>(combo)->currentIndex(), -1) << combo;
        ExpectRejected(h, message);
    }
}

TEST(OptionsValidation, CancelAfterAFaultClosesWithoutStoringWhatPassed)
{
    OptionsHarness h;
    h.Open();
    h.Type("cbBandwidthRX", "2048");
    h.Type("cbPhoneEntries", "wlan0");
    h.Type("cbLimit", "0");
    ExpectRejected(h, LimitRange);
    h.PressCancel();
    EXPECT_FALSE(h.form.isVisible());
    EXPECT_EQ(h.form.result(), QDialog::Rejected);
    EXPECT_EQ(test::TakeWriteLog(h.store.File()), std::vector<std::string>{});
    EXPECT_EQ(h.vars.BandwidthRX.Get(), 1024u);
    EXPECT_STREQ(h.vars.Connection.Get(), "eth0");
}

struct RangeRow {
    const char* text;
    std::int32_t lowest;
    std::int32_t highest;
    std::optional<std::int32_t> number;
};

void PrintTo(const RangeRow& row, std::ostream* os)
{
    *os << '"' << row.text << "\" in [" << row.lowest << ", " << row.highest << ']';
}

class OptionsRangeCheck : public testing::TestWithParam<RangeRow> {};

TEST_P(OptionsRangeCheck, ReadsTheLeadingNumberAndChecksItsRange)
{
    const RangeRow& row = GetParam();
    EXPECT_EQ(NumberInRange(row.text, row.lowest, row.highest), row.number);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OptionsRangeCheck,
    testing::Values(RangeRow{" \t60\r\n", 1, 60, 60}, RangeRow{"12x5", 1, 60, 12},
                    RangeRow{"-5", -10, 10, -5}, RangeRow{"+ 5", 0, 60, 0},
                    RangeRow{"   ", 1, 60, std::nullopt}, RangeRow{"007", 1, 60, 7},
                    RangeRow{"2147483647", 1, 2147483647, 2147483647},
                    // These wrap to in-range numbers in 32-bit arithmetic.
                    RangeRow{"4294967304", 8, 26000, std::nullopt},
                    RangeRow{"-4294967288", 8, 26000, std::nullopt},
                    RangeRow{"2147483648", 1, 2147483647, std::nullopt},
                    RangeRow{"-2147483649", -2147483647 - 1, -1, std::nullopt}));

} // namespace
