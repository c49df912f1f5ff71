#include "settings/OptionsHarness.h"
#include "settings/RangeCheck.h"
#include "settings/StoreRows.h"

#include <gtest/gtest.h>

using test::OptionsHarness;

namespace {

// OK on a faulty dialog: the first fault in checking order, the dialog stays, nothing is written;
// Cancel then closes it, still writing nothing.
void ExpectRejected(OptionsHarness& h, const char* message)
{
    test::StartWriteLog(h.store.File());
    const auto box = h.PressOk();
    ASSERT_TRUE(box) << "no message box for: " << message;
    EXPECT_EQ(std::tuple(box->text, box->caption, box->icon),
              std::tuple(QString(message), "Error", QMessageBox::Warning));
    EXPECT_TRUE(h.form.isVisible());
    h.PressCancel();
    EXPECT_EQ(std::tuple(h.form.isVisible(), h.form.result()),
              std::tuple(false, QDialog::Rejected));
    EXPECT_EQ(test::TakeWriteLog(h.store.File()), std::vector<std::string>{});
}

constexpr const char* Rx = "Invalid bandwidth RX! Please enter a number between 8 and 26000.";
constexpr const char* Tx = "Invalid bandwidth TX! Please enter a number between 8 and 26000.";
constexpr const char* KeepAlive =
    "Invalid keep-alive time! Please enter a number between 1 and 60.";
constexpr const char* Limit = "Invalid traffic limit! Please enter a number between 1 and 1000000.";
constexpr const char* Speed = "Invalid update speed! Please enter a number between 1 and 60.";
constexpr const char* DynDnsHost = "No hostname entered for DynDNS!";

// Rows of entries (check boxes take "on" or "off") with the message OK raises, or none and the
// number it stores. One dialog serves them all: it reloads the store at each showing.
TEST(OptionsValidation, PassesWithItsNumberOrReportsTheFirstFault)
{
    const struct {
        std::vector<std::pair<const char*, const char*>> entries;
        const char* message;
        CRegDWORD CRegVars::*setting = nullptr;
        std::uint32_t stored = 0;
    } rows[] = {
        {{{"cbPhoneEntries", "   "}}, "No connection selected!"},
        {{{"cbBandwidthRX", "7"}}, Rx},
        {{{"cbBandwidthRX", "128 kbit"}}, nullptr, &CRegVars::BandwidthRX, 128},
        {{{"cbBandwidthTX", "abc"}}, Tx},
        {{{"cbUpdateSpeed", " 60 "}}, nullptr, &CRegVars::HistoryUpdateSpeed, 60},
        {{{"cbUpdateSpeed", "+5"}}, nullptr, &CRegVars::HistoryUpdateSpeed, 5},
        {{{"cbUpdateSpeed", ""}}, Speed},
        {{{"cbLimit", "1000000"}}, nullptr, &CRegVars::TrafficLimit, 1000000},
        {{{"cbLimit", "99999999999999999999"}}, Limit},
        {{{"ckAutoUpdate", "on"}, {"eHostname", "  "}, {"eUsername", "u"}, {"ePassword", "p"}},
         DynDnsHost},
        {{{"ckAutoUpdate", "on"}, {"eHostname", "h"}, {"eUsername", ""}, {"ePassword", "p"}},
         "No username entered for DynDNS!"},
        {{{"ckAutoUpdate", "on"}, {"eHostname", "h"}, {"eUsername", "u"}, {"ePassword", ""}},
         "No password entered for DynDNS!"},
        {{{"ckKeepAliveEnabled", "off"}, {"cbKeepAliveTime", "0"}}, KeepAlive},
        {{{"ckKeepAliveEnabled", "on"}, {"eKeepAliveHost", "   "}},
         "No hostname entered for NTP server!"},
        // Several faults: only the first in checking order is reported.
        {{{"cbPhoneEntries", ""}, {"cbBandwidthRX", "7"}}, "No connection selected!"},
        {{{"cbBandwidthRX", "7"}, {"cbBandwidthTX", "7"}}, Rx},
        {{{"cbBandwidthTX", "7"}, {"cbUpdateSpeed", "0"}}, Tx},
        {{{"cbUpdateSpeed", "0"}, {"cbLimit", "0"}}, Speed},
        {{{"ckAutoUpdate", "on"},
          {"eHostname", "h"},
          {"eUsername", "u"},
          {"ePassword", " "},
          {"cbKeepAliveTime", "0"}},
         "No password entered for DynDNS!"},
        {{{"ckKeepAliveEnabled", "on"}, {"eKeepAliveHost", ""}, {"cbKeepAliveTime", "61"}},
         KeepAlive},
        {{{"cbKeepAliveTime", "0"}, {"cbLimit", "1000001"}}, Limit},
        {{{"ckKeepAliveEnabled", "on"}, {"eKeepAliveHost", ""}, {"ckAutoUpdate", "on"}},
         DynDnsHost}};
    OptionsHarness h;
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        h.Open();
        for (const auto& [control, value] : row.entries)
            h.Set(control, value);
        if (row.message) {
            ExpectRejected(h, row.message);
            continue;
        }
        EXPECT_FALSE(h.PressOk());
        EXPECT_EQ(h.form.result(), QDialog::Accepted);
        EXPECT_EQ((CRegVars(h.store.File()).*row.setting).Get(), row.stored);
    }
}

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

TEST(OptionsValidation, ReadsTheLeadingNumberAndChecksItsRange)
{
    const std::tuple<const char*, std::int32_t, std::int32_t, std::optional<std::int32_t>> rows[] =
        {{" \t60\r\n", 1, 60, 60},
         {"12x5", 1, 60, 12},
         {"-5", -10, 10, -5},
         {"+ 5", 0, 60, 0},
         {"   ", 1, 60, std::nullopt},
         {"007", 1, 60, 7},
         {"2147483647", 1, 2147483647, 2147483647},
         // These wrap to in-range numbers in 32-bit arithmetic.
         {"4294967304", 8, 26000, std::nullopt},
         {"-4294967288", 8, 26000, std::nullopt},
         {"2147483648", 1, 2147483647, std::nullopt},
         {"-2147483649", -2147483647 - 1, -1, std::nullopt}};
    for (const auto& [text, lowest, highest, number] : rows)
        EXPECT_EQ(NumberInRange(text, lowest, highest), number) << text;
}

} // namespace
