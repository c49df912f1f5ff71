#include "settings/OptionsHarness.h"
#include "settings/StoreRows.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using test::OptionsHarness;

namespace {

TEST(OptionsStore, OkWritesAllNineteenSettingsInOrder)
{
    OptionsHarness h;
    test::StartWriteLog(h.store.File());
    h.Open();
    EXPECT_FALSE(h.PressOk());
    EXPECT_FALSE(h.form.isVisible());
    EXPECT_EQ(h.form.result(), QDialog::Accepted);
    const std::vector<std::string> order = {"Connection",
                                            "BandwidthRX",
                                            "BandwidthTX",
                                            "AutoConnect",
                                            "KeepConnected",
                                            "KeepAliveEnabled",
                                            "KeepAliveHost",
                                            "KeepAliveTime",
                                            "HistoryScaling",
                                            "HistoryUpdateSpeed",
                                            "TrafficLimit",
                                            "OnLimitShowMessage",
                                            "OnLimitCloseConnection",
                                            "LimitAutoReset",
                                            "DynDNSAutoUpdate",
                                            "DynDNSHostname",
                                            "DynDNSUsername",
                                            "DynDNSPassword",
                                            "StartMinimized"};
    EXPECT_EQ(test::TakeWriteLog(h.store.File()), order);
}

TEST(OptionsStore, EveryControlReachesItsSetting)
{
    OptionsHarness h;
    h.Open();
    h.Type("cbPhoneEntries", " ppp0 ");
    h.Type("cbBandwidthRX", "6000");
    h.Type("cbBandwidthTX", "512");
    h.Type("cbKeepAliveTime", "20");
    h.Type("eKeepAliveHost", "\tntp.example.org ");
    h.Type("cbUpdateSpeed", "30");
    h.Type("cbLimit", "50000");
    h.Type("eHostname", "  me.example.org  ");
    h.Type("eUsername", "me");
    h.Type("ePassword", "secret ");
    h.Find<QComboBox>("cbHistScala")->setCurrentIndex(3);
    h.Find<QComboBox>("cbLimitAutoReset")->setCurrentIndex(15);
    for (const char* box : {"ckAutoConnect", "ckKeepAliveEnabled", "ckLimitClose", "ckAutoUpdate",
                            "ckStartMinimized"})
        h.SetChecked(box, true);
    h.SetChecked("ckLimitMessage", false);
    ASSERT_FALSE(h.PressOk());

    const CRegVars& v = h.vars;
    EXPECT_STREQ(v.Connection.Get(), "ppp0");
    EXPECT_STREQ(v.KeepAliveHost.Get(), "ntp.example.org");
    EXPECT_STREQ(v.DynDNSHostname.Get(), "me.example.org");
    EXPECT_STREQ(v.DynDNSUsername.Get(), "me");
    EXPECT_STREQ(v.DynDNSPassword.Get(), "secret");
    const std::pair<const CRegDWORD&, std::uint32_t> numbers[] = {
        {v.BandwidthRX, 6000},     {v.BandwidthTX, 512},          {v.AutoConnect, 1},
        {v.KeepConnected, 0},      {v.KeepAliveEnabled, 1},       {v.KeepAliveTime, 20},
        {v.HistoryScaling, 3},     {v.HistoryUpdateSpeed, 30},    {v.TrafficLimit, 50000},
        {v.OnLimitShowMessage, 0}, {v.OnLimitCloseConnection, 1}, {v.LimitAutoReset, 15},
        {v.DynDNSAutoUpdate, 1},   {v.StartMinimized, 1}};
    for (const auto& [setting, value] : numbers)
        EXPECT_EQ(setting.Get(), value) << setting.Name();
}

TEST(OptionsStore, UncheckedDynDnsStoresEmptyFields)
{
    OptionsHarness h;
    h.vars.DynDNSHostname.Set("old.example.org");
    h.vars.DynDNSUsername.Set("old");
    h.vars.DynDNSPassword.Set("old");
    h.Open();
    for (const char* edit : {"eHostname", "eUsername", "ePassword"})
        h.Type(edit, "");
    ASSERT_FALSE(h.PressOk());
    EXPECT_STREQ(h.vars.DynDNSHostname.Get(), "");
    EXPECT_STREQ(h.vars.DynDNSUsername.Get(), "");
    EXPECT_STREQ(h.vars.DynDNSPassword.Get(), "");
}

TEST(OptionsStore, UserPicksTheWatchedLinkFromTheList)
{
    OptionsHarness h;
    h.ras.entries = {"eth0", "wlan0", "wg0"};
    h.vars.Connection.Set("");
    h.Open();
    auto* combo = h.Find<QComboBox>("cbPhoneEntries");
    ASSERT_EQ(combo->currentText(), "");
    combo->showPopup();
    QAbstractItemView* list = combo->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    const QRect item = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_EQ(combo->currentText(), "wlan0");
    ASSERT_FALSE(h.PressOk());
    EXPECT_STREQ(h.vars.Connection.Get(), "wlan0");
}

// The main window runs the dialog with exec(); its result says whether the settings changed.
struct CloseRow {
    const char* way;
    void (*close)(OptionsHarness&);
    int result;
};

void PrintTo(const CloseRow& row, std::ostream* os)
{
    *os << row.way;
}

class OptionsExec : public testing::TestWithParam<CloseRow> {};

TEST_P(OptionsExec, ReturnsAcceptedOnlyForOkWithAllFieldsValid)
{
    OptionsHarness h;
    test::StartWriteLog(h.store.File());
    QTimer::singleShot(0, &h.form, [&] {
        h.Type("cbLimit", "2000");
        GetParam().close(h);
    });
    // A dialog that fails to close would otherwise hang the test.
    QTimer::singleShot(5000, &h.form, [&] { h.form.done(-1); });
    EXPECT_EQ(h.form.exec(), GetParam().result);
    EXPECT_EQ(h.vars.TrafficLimit.Get(), GetParam().result == QDialog::Accepted ? 2000u : 1000u);
    EXPECT_EQ(test::TakeWriteLog(h.store.File()).size(), GetParam().result == QDialog::Accepted ? 19u : 0u);
}

QLineEdit* LimitEdit(OptionsHarness& h)
{
    return h.Find<QComboBox>("cbLimit")->lineEdit();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OptionsExec,
    testing::Values(
        CloseRow{"ok button", [](OptionsHarness& h) { h.PressOk(); }, QDialog::Accepted},
        CloseRow{"enter key",
                 [](OptionsHarness& h) { QTest::keyClick(LimitEdit(h), Qt::Key_Return); },
                 QDialog::Accepted},
        CloseRow{"cancel button", [](OptionsHarness& h) { h.PressCancel(); }, QDialog::Rejected},
        CloseRow{"escape key",
                 [](OptionsHarness& h) { QTest::keyClick(LimitEdit(h), Qt::Key_Escape); },
                 QDialog::Rejected},
        CloseRow{"title bar", [](OptionsHarness& h) { h.form.close(); }, QDialog::Rejected}));

} // namespace
