#include "platform/Autostart.h"
#include "settings/OptionsHarness.h"
#include "settings/StoreRows.h"

#include <QFile>
#include <QProcess>
#include <fstream>
#include <gtest/gtest.h>
#include <variant>

using test::OptionsHarness;

namespace {

using Setting = std::variant<CRegSZ CRegVars::*, CRegDWORD CRegVars::*>;

// The setting's stored name and its value as text.
std::pair<std::string, QString> Stored(const CRegVars& vars, Setting setting)
{
    return std::visit(
        [&](auto member) {
            return std::pair(std::string((vars.*member).Name()),
                             QVariant((vars.*member).Get()).toString());
        },
        setting);
}

// Each control with its setting: the value stored before, what the control shows of it, what the
// user enters and the value OK stores.
const std::tuple<const char*, Setting, const char*, const char*, const char*, const char*>
    Fields[] = {
        {"cbPhoneEntries", &CRegVars::Connection, "wlan0", "wlan0", " ppp0 ", "ppp0"},
        {"cbBandwidthRX", &CRegVars::BandwidthRX, "3072", "3072", "6000", "6000"},
        {"cbBandwidthTX", &CRegVars::BandwidthTX, "384", "384", "512", "512"},
        {"ckAutoConnect", &CRegVars::AutoConnect, "1", "on", "off", "0"},
        {"ckKeepConnected", &CRegVars::KeepConnected, "0", "off", "on", "1"},
        {"ckKeepAliveEnabled", &CRegVars::KeepAliveEnabled, "1", "on", "on", "1"},
        {"eKeepAliveHost", &CRegVars::KeepAliveHost, "pool.ntp.org", "pool.ntp.org",
         "\tntp.example.org ", "ntp.example.org"},
        {"cbKeepAliveTime", &CRegVars::KeepAliveTime, "15", "15", "20", "20"},
        {"cbHistScala", &CRegVars::HistoryScaling, "2", "MBit/s", "MByte/s", "3"},
        {"cbUpdateSpeed", &CRegVars::HistoryUpdateSpeed, "5", "5", "30", "30"},
        {"cbLimit", &CRegVars::TrafficLimit, "4294967295", "4294967295", "50000", "50000"},
        {"ckLimitMessage", &CRegVars::OnLimitShowMessage, "0", "off", "off", "0"},
        {"ckLimitClose", &CRegVars::OnLimitCloseConnection, "7", "on", "on", "1"},
        {"cbLimitAutoReset", &CRegVars::LimitAutoReset, "28", "28", "15", "15"},
        // Without the update, the DynDNS fields may stay empty.
        {"ckAutoUpdate", &CRegVars::DynDNSAutoUpdate, "1", "on", "off", "0"},
        {"eHostname", &CRegVars::DynDNSHostname, "me.example.org", "me.example.org", "  ", ""},
        {"eUsername", &CRegVars::DynDNSUsername, "me", "me", "", ""},
        {"ePassword", &CRegVars::DynDNSPassword, "secret", "secret", "secret ", "secret"},
        {"ckStartMinimized", &CRegVars::StartMinimized, "0", "off", "on", "1"}};

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

// OK stores all nineteen settings, changed or not, in their order, texts trimmed; Start at login
// is the user's autostart entry for this very program. Each showing loads the stored values
// again, so that what a Cancel left behind is gone, even a typed name that no list item clears.
TEST(OptionsStore, ControlsShowTheirSettingsAndOkStoresThem)
{
    OptionsHarness h;
    std::vector<std::string> names;
    for (const auto& [control, setting, before, shown, entered, after] : Fields) {
        if (const auto* text = std::get_if<0>(&setting))
            (h.vars.**text).Set(before);
        else
            (h.vars.*std::get<1>(setting)).Set(QString(before).toUInt());
        names.push_back(Stored(h.vars, setting).first);
    }
    h.Open();
    EXPECT_EQ(h.State("ckStartAtLogin"), "off");
    for (const auto& [control, setting, before, shown, entered, after] : Fields) {
        EXPECT_EQ(h.State(control), shown) << control;
        h.Set(control, entered);
    }
    h.Set("ckStartAtLogin", "on");
    test::StartWriteLog(h.store.File());
    ASSERT_FALSE(h.PressOk());
    EXPECT_FALSE(h.form.isVisible());
    EXPECT_EQ(h.form.result(), QDialog::Accepted);
    EXPECT_EQ(test::TakeWriteLog(h.store.File()), names);
    const CRegVars reread(h.store.File());
    for (const auto& [control, setting, before, shown, entered, after] : Fields)
        EXPECT_EQ(Stored(reread, setting).second, after) << control;
    EXPECT_EQ(Findings(h.AutostartEntry()), "");
    EXPECT_TRUE(
        Lines(h.AutostartEntry()).contains("Exec=" + QCoreApplication::applicationFilePath()));

    h.ras.entriesError = 5;
    for (int showing = 0; showing < 2; ++showing) {
        h.Open();
        EXPECT_EQ((QStringList{h.State("cbBandwidthRX"), h.State("ckStartMinimized"),
                               h.State("cbPhoneEntries"), h.State("ckStartAtLogin")}),
                  (QStringList{"6000", "on", "", "on"}));
        h.Set("cbBandwidthRX", "999");
        h.Set("ckStartMinimized", "off");
        h.Set("cbPhoneEntries", "ppp8");
        h.PressCancel();
    }
    h.Open();
    h.Set("cbPhoneEntries", "ppp0");
    h.Set("ckStartAtLogin", "off");
    ASSERT_FALSE(h.PressOk());
    EXPECT_FALSE(std::filesystem::exists(h.AutostartEntry()));

    // An entry that cannot be written is reported after the settings are stored.
    std::filesystem::remove(h.AutostartEntry().parent_path());
    std::ofstream(h.AutostartEntry().parent_path()) << "a file where the folder should be";
    h.Open();
    h.Set("cbPhoneEntries", "ppp0");
    h.Set("cbLimit", "2000");
    h.Set("ckStartAtLogin", "on");
    const auto box = h.PressOk();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, "Error");
    EXPECT_TRUE(box->text.startsWith("Cannot write the autostart entry " +
                                     QString::fromStdString(h.AutostartEntry().string()) + ": "))
        << box->text.toStdString();
    EXPECT_EQ(h.form.result(), QDialog::Accepted);
    EXPECT_EQ(CRegVars(h.store.File()).TrafficLimit.Get(), 2000u);
    h.Open();
    EXPECT_EQ(h.State("ckStartAtLogin"), "off");
}

// The list offers the links the service names, at most fifty, and selects the last exact match.
TEST(OptionsShow, ListsTheLinksAndSelectsTheLastExactMatch)
{
    std::vector<std::string> links;
    for (int i = 0; i < 51; ++i)
        links.push_back("veth" + std::to_string(i));
    const std::tuple<std::vector<std::string>, std::uint32_t, const char*, int, int> rows[] = {
        {{"eth0", "wlan0", "eth0", "eth1"}, 0, "eth0", 4, 2},
        {{"eth0", "wlan0"}, 0, "ETH0", 2, -1},
        {{"eth0", "eth01"}, 0, "eth", 2, -1},
        {{}, 0, "ppp0", 0, -1},
        {{"eth0"}, 5, "eth0", 0, -1}, // the service fails
        {{links.begin(), links.end() - 1}, 0, "veth49", 50, 49},
        {links, 0, "veth0", 0, -1}};
    for (const auto& [entries, error, connection, count, selected] : rows) {
        OptionsHarness h;
        h.ras.entries = entries;
        h.ras.entriesError = error;
        h.vars.Connection.Set(connection);
        h.Open();
        const auto* combo = h.Find<QComboBox>("cbPhoneEntries");
        EXPECT_EQ(std::tuple(combo->count(), combo->currentIndex(), combo->currentText()),
                  std::tuple(count, selected, selected < 0 ? "" : QString(connection)))
            << connection;
    }
}

// The main window runs the dialog with exec(); its result says whether the settings changed.
TEST(OptionsStore, ExecReturnsAcceptedOnlyForOkWithAllFieldsValid)
{
    const auto key = [](OptionsHarness& h, Qt::Key key) {
        QTest::keyClick(h.Find<QComboBox>("cbLimit")->lineEdit(), key);
    };
    const std::pair<std::function<void(OptionsHarness&)>, bool> ways[] = {
        {[](OptionsHarness& h) { h.PressOk(); }, true},
        {[&](OptionsHarness& h) { key(h, Qt::Key_Return); }, true},
        {[](OptionsHarness& h) { h.PressCancel(); }, false},
        {[&](OptionsHarness& h) { key(h, Qt::Key_Escape); }, false},
        {[](OptionsHarness& h) { h.form.close(); }, false}}; // the title bar's close button
    for (const auto& [close, accepted] : ways) {
        OptionsHarness h;
        test::StartWriteLog(h.store.File());
        QTimer::singleShot(0, &h.form, [&] {
            h.Set("cbLimit", "2000");
            h.Set("ckStartAtLogin", "on");
            close(h);
        });
        // A dialog that fails to close would otherwise hang the test.
        QTimer::singleShot(5000, &h.form, [&] { h.form.done(-1); });
        EXPECT_EQ(h.form.exec(), accepted ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(CRegVars(h.store.File()).TrafficLimit.Get(), accepted ? 2000u : 1000u);
        EXPECT_EQ(test::TakeWriteLog(h.store.File()).size(), accepted ? 19u : 0u);
        EXPECT_EQ(std::filesystem::exists(h.AutostartEntry()), accepted);
    }
}

// Exec splits its value at blanks and gives some characters a meaning of their own.
TEST(OptionsStore, TheAutostartEntryQuotesAProgramPathWithBlanksOrReservedCharacters)
{
    const test::TempStore folder;
    const auto entry = folder.Dir() / "org.quillmar.Quillmar.desktop";
    const std::pair<const char*, const char*> rows[] = {
        {"/opt/Quill mar/bin/quillmar", R"(Exec="/opt/Quill mar/bin/quillmar")"},
        {R"(/opt/a$b "c" 100%/quillmar)", R"(Exec="/opt/a\\$b \\"c\\" 100%%/quillmar")"}};
    for (const auto& [program, exec] : rows) {
        EXPECT_EQ(platform::writeAutostartEntry(entry, program), "");
        EXPECT_EQ(Findings(entry), "");
        EXPECT_TRUE(Lines(entry).contains(exec)) << Lines(entry).join('\n').toStdString();
    }
}

} // namespace
