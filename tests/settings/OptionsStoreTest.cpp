#include "platform/Autostart.h"
#include "settings/OptionsHarness.h"
#include "settings/StoreRows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <gtest/gtest.h>

using test::OptionsHarness;

namespace {

// All nineteen, changed or not (KeepConnected is not), in their order, strings trimmed.
TEST(OptionsStore, OkWritesEveryControlToItsSettingInOrder)
{
    OptionsHarness h;
    h.Open();
    const std::pair<const char*, const char*> typed[] = {{"cbPhoneEntries", " ppp0 "},
                                                         {"cbBandwidthRX", "6000"},
                                                         {"cbBandwidthTX", "512"},
                                                         {"cbKeepAliveTime", "20"},
                                                         {"eKeepAliveHost", "\tntp.example.org "},
                                                         {"cbUpdateSpeed", "30"},
                                                         {"cbLimit", "50000"},
                                                         {"eHostname", "  me.example.org  "},
                                                         {"eUsername", "me"},
                                                         {"ePassword", "secret "}};
    for (const auto& [control, text] : typed)
        h.Type(control, text);
    h.Find<QComboBox>("cbHistScala")->setCurrentIndex(3);
    h.Find<QComboBox>("cbLimitAutoReset")->setCurrentIndex(15);
    for (const char* box : {"ckAutoConnect", "ckKeepAliveEnabled", "ckLimitClose", "ckAutoUpdate",
                            "ckStartMinimized"})
        h.SetChecked(box, true);
    h.SetChecked("ckLimitMessage", false);
    test::StartWriteLog(h.store.File());
    ASSERT_FALSE(h.PressOk());
    EXPECT_FALSE(h.form.isVisible());
    EXPECT_EQ(h.form.result(), QDialog::Accepted);
    EXPECT_EQ(test::TakeWriteLog(h.store.File()),
              (std::vector<std::string>{
                  "Connection", "BandwidthRX", "BandwidthTX", "AutoConnect", "KeepConnected",
                  "KeepAliveEnabled", "KeepAliveHost", "KeepAliveTime", "HistoryScaling",
                  "HistoryUpdateSpeed", "TrafficLimit", "OnLimitShowMessage",
                  "OnLimitCloseConnection", "LimitAutoReset", "DynDNSAutoUpdate", "DynDNSHostname",
                  "DynDNSUsername", "DynDNSPassword", "StartMinimized"}));

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

// What desktop-file-validate finds wrong with the entry: nothing when it accepts it silently.
QString Findings(const std::filesystem::path& entry)
{
    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start("desktop-file-validate", {QString::fromStdString(entry.string())});
    if (!validator.waitForFinished())
        return "desktop-file-validate did not run";
    return validator.readAll() + (validator.exitCode() == 0 ? "" : "rejected");
}

QStringList Lines(const std::filesystem::path& file)
{
    QFile entry(QString::fromStdString(file.string()));
    entry.open(QIODevice::ReadOnly);
    return QString::fromUtf8(entry.readAll()).split('\n');
}

TEST(OptionsStore, StartAtLoginIsTheUsersAutostartEntryForThisProgram)
{
    OptionsHarness h;
    h.Open();
    EXPECT_FALSE(h.Find<QCheckBox>("ckStartAtLogin")->isChecked());
    h.SetChecked("ckStartAtLogin", true);
    ASSERT_FALSE(h.PressOk());
    EXPECT_EQ(Findings(h.AutostartEntry()), "");
    EXPECT_TRUE(
        Lines(h.AutostartEntry()).contains("Exec=" + QCoreApplication::applicationFilePath()));

    h.Open();
    EXPECT_TRUE(h.Find<QCheckBox>("ckStartAtLogin")->isChecked());
    h.SetChecked("ckStartAtLogin", false);
    ASSERT_FALSE(h.PressOk());
    EXPECT_FALSE(std::filesystem::exists(h.AutostartEntry()));
}

TEST(OptionsStore, AnAutostartEntryThatCannotBeWrittenIsReportedAfterTheSettingsAreStored)
{
    OptionsHarness h;
    std::ofstream(h.store.Dir() / "autostart") << "a file where the folder should be";
    h.Open();
    h.Type("cbLimit", "2000");
    h.SetChecked("ckStartAtLogin", true);
    const auto box = h.PressOk();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, "Error");
    EXPECT_TRUE(box->text.startsWith("Cannot write the autostart entry " +
                                     QString::fromStdString(h.AutostartEntry().string()) + ": "))
        << box->text.toStdString();
    EXPECT_EQ(h.form.result(), QDialog::Accepted);
    EXPECT_EQ(h.vars.TrafficLimit.Get(), 2000u);
    h.Open();
    EXPECT_FALSE(h.Find<QCheckBox>("ckStartAtLogin")->isChecked());
}

// Exec splits its value at blanks and gives some characters a meaning of their own.
TEST(OptionsStore, TheAutostartEntryQuotesAProgramPathWithBlanksOrReservedCharacters)
{
    const test::TempStore folder;
    const auto entry = folder.Dir() / "org.quillmar.Quillmar.desktop";
    const std::pair<const char*, const char*> rows[] = {
        {"/opt/Quill mar/bin/quillmar", R"(Exec="/opt/Quill mar/bin/quillmar")"},
        {R"(/opt/a$b "c" 100%/quillmar)", R"(Exec="/opt/a\\$b \\"c\\" 100%%/quillmar")"},
    };
    for (const auto& [program, exec] : rows) {
        SCOPED_TRACE(program);
        EXPECT_EQ(platform::writeAutostartEntry(entry, program), "");
        EXPECT_EQ(Findings(entry), "");
        EXPECT_TRUE(Lines(entry).contains(exec)) << Lines(entry).join('\n').toStdString();
    }
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
        h.SetChecked("ckStartAtLogin", true);
        GetParam().close(h);
    });
    // A dialog that fails to close would otherwise hang the test.
    QTimer::singleShot(5000, &h.form, [&] { h.form.done(-1); });
    EXPECT_EQ(h.form.exec(), GetParam().result);
    EXPECT_EQ(h.vars.TrafficLimit.Get(), GetParam().result == QDialog::Accepted ? 2000u : 1000u);
    EXPECT_EQ(test::TakeWriteLog(h.store.File()).size(),
              GetParam().result == QDialog::Accepted ? 19u : 0u);
    EXPECT_EQ(std::filesystem::exists(h.AutostartEntry()), GetParam().result == QDialog::Accepted);
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
