#include "TestEnvironment.h"
#include "graph/PixelRows.h"
#include "platform/desktop/Autostart.h"
#include "platform/links/FakeRasApi.h"
#include "settings/Foptions.h"
#include "settings/RangeCheck.h"
#include "settings/RegVars.h"
#include "settings/StoreRows.h"

#include <QTest>
#include <QtWidgets>
#include <fstream>
#include <gtest/gtest.h>

namespace {

// The settings dialog on a temporary store with scripted links, driven like a user drives it. The
// store holds a valid connection, "eth0", which the link list offers. The user's configuration
// folder, where the autostart entry goes, is the store's temporary folder.
struct OptionsHarness {
    OptionsHarness()
    {
        ras.entries = {"eth0", "wlan0"};
        vars.Connection.Set("eth0");
    }
    test::TempStore store;
    test::ScopedVariable configHome{"XDG_CONFIG_HOME", store.Dir().c_str()};
    CRegVars vars{store.File()};
    test::FakeRasApi ras;
    TFormOptions form{nullptr, vars, ras};
    const std::filesystem::path entry = store.Dir() / "autostart/org.quillmar.Quillmar.desktop";

    // Opens the dialog and makes the entries ("control=value;...") as the user does.
    void Open(const QString& entries = {})
    {
        form.open();
        for (const QString& entry : entries.split(';', Qt::SkipEmptyParts))
            Set(entry.section('=', 0, 0).toUtf8().constData(), entry.section('=', 1));
    }
    template <class T = QWidget> T* Find(const char* name) const
    {
        return form.findChild<T*>(name);
    }
    // What the user sees in a control: its text, or "on" or "off" for a check box.
    QString State(const char* name) const
    {
        if (const auto* box = Find<QCheckBox>(name))
            return box->isChecked() ? "on" : "off";
        const auto* combo = Find<QComboBox>(name);
        return combo ? combo->currentText() : Find<QLineEdit>(name)->text();
    }
    // Sets a check box "on" or "off", picks an item of a list, or types over the text of an edit
    // or editable combo box, as the user does.
    void Set(const char* name, const QString& value)
    {
        auto* combo = Find<QComboBox>(name);
        QLineEdit* edit = combo ? combo->lineEdit() : Find<QLineEdit>(name);
        if (auto* box = Find<QCheckBox>(name); box && box->isChecked() != (value == "on"))
            QTest::keyClick(box, Qt::Key_Space);
        if (combo && !edit)
            combo->setCurrentIndex(combo->findText(value));
        if (edit) {
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, value);
        }
    }
    // Clicks OK; returns the caption, kind and text of the message box it raised, answered with
    // its OK button.
    QString PressOk()
    {
        QString seen;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = box->windowTitle() + (box->icon() == QMessageBox::Warning ? " (!) " : " ") +
                       box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        answer.start(5);
        QTest::mouseClick(Find<QPushButton>("btOK"), Qt::LeftButton);
        return seen;
    }
    void PressCancel() { QTest::mouseClick(Find<QPushButton>("btCancel"), Qt::LeftButton); }
};

// A group's caption, then its controls row by row, left to right: the text of a label or button,
// the items of a combo box ("..." ending one the user may type into), the name of an edit.
QString Face(const QWidget* widget)
{
    const auto* group = qobject_cast<const QGroupBox*>(widget);
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items.join(' ') + (combo->isEditable() ? " ..." : "");
    }
    QString face = group ? group->title() : widget->objectName();
    auto widgets = widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    std::ranges::sort(widgets, {}, [](const QWidget* w) { return w->geometry().center().y(); });
    for (auto row = widgets.begin(); group && row != widgets.end();) {
        const int bottom = (*row)->geometry().bottom();
        const auto end = std::find_if(row, widgets.end(), [&](auto* w) { return w->y() > bottom; });
        std::sort(row, end, [](auto* a, auto* b) { return a->x() < b->x(); });
        for (auto* w : std::ranges::subrange(row, end))
            face += (w == *row ? " / " : "|") + Face(w);
        row = end;
    }
    return face;
}

// One control of each kind: what it shows of the stored value, what the user enters.
const std::tuple<const char*, const char*, const char*> Fields[] = {
    {"cbPhoneEntries", "wlan0", " ppp0 "},
    {"cbLimit", "4294967295", "50000"},
    {"cbHistScala", "MBit/s", "MByte/s"},
    {"ckLimitClose", "on", "off"},
    {"eKeepAliveHost", "pool.ntp.org", "\tntp.example.org "},
    {"ePassword", "secret", "secret "},
    {"ckStartAtLogin", "off", "on"},
    {"ckHintsAsNotifications", "on", "off"}};

// The entry validates and runs this very program: the validator's findings and the Exec line.
std::string Validated(const std::filesystem::path& entry, const QString& program)
{
    return test::Shell(entry.parent_path(),
                       "desktop-file-validate \"$1\" 2>&1 && grep -xF \"$2\" \"$1\"",
                       {QString::fromStdString(entry.string()), "Exec=" + program});
}

// The groups in a fixed area, none squeezed, their frames clear of every control; what each
// control shows; the password masked. OK stores all twenty settings, changed or not, texts
// trimmed; Start at login is the user's autostart entry for this very program, its Exec value
// quoted where the path needs it. An entry that cannot be written is reported after the settings
// are stored.
TEST(OptionsStore, LayoutControlsShowTheirSettingsAndOkStoresThem)
{
    OptionsHarness h;
    h.vars.Connection.Set("wlan0");
    h.vars.TrafficLimit.Set(4294967295u);
    h.vars.HistoryScaling.Set(2);
    h.vars.OnLimitCloseConnection.Set(7); // any number but 0 stands for on
    h.vars.KeepAliveHost.Set("pool.ntp.org");
    h.vars.DynDNSPassword.Set("secret");
    h.vars.HintsAsNotifications.Set(1);
    h.Open();
    EXPECT_EQ(std::tuple(h.form.windowTitle(), h.form.size(), h.form.maximumSize()),
              std::tuple(QString("Settings"), QSize(496, 442), QSize(496, 442)));
    QString faces;
    for (const char* name :
         {"gbConnection", "gbTrafficHistory", "gbTrafficLimit", "gbDynDNS", "gbMisc"})
        faces += Face(h.Find(name)) + '\n';
    EXPECT_EQ(faces,
              "Connection / eth0 wlan0 ... / Establish connection at program start / Establish "
              "connection if interrupted / Keep connection alive by cyclically accessing a NTP "
              "server: / Enabled / Hostname:|eKeepAliveHost / Update Speed:|5 10 15 20 "
              "...|min\nTraffic History  / Bandwidth Rx:|64 128 192 256 384 512 768 1024 2048 3072 "
              "6000 16000 24000 ...|kBit/s / Bandwidth Tx:|64 128 192 256 384 512 768 1024 2048 "
              "3072 6000 16000 24000 ...|kBit/s / Scaling:|kBit/s kByte/s MBit/s MByte/s / Update "
              "Speed:|1 2 5 10 20 30 60 ...|sec\nTraffic Limit / Traffic Limit:|1000 2000 5000 "
              "10000 20000 50000 ...|MByte / Show hints at 70%, 90% and 98% / Close connection if "
              "limit is reached / Automatically reset the traffic counter at a specific day of a "
              "month: / Never 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 "
              "27 28\nDynDNS / Update when connected / Hostname:|eHostname / Username:|eUsername / "
              "Password:|ePassword\nMisc / Start program minimized / Start at login / Show hints "
              "as desktop notifications\n");
    EXPECT_EQ(h.Find<QPushButton>("btOK")->text() + h.Find<QPushButton>("btCancel")->text(),
              "OKCancel");
    QStringList squeezed; // below the height it asks for, where the fixed area is too small
    for (const QWidget* control : h.form.findChildren<QWidget*>())
        if (control->isVisible() && !qobject_cast<QComboBox*>(control->parentWidget()) &&
            control->height() < control->sizeHint().height())
            squeezed << control->objectName();
    EXPECT_EQ(squeezed + FramesNearControls(h.form), QStringList());
    for (const auto& [control, shown, entered] : Fields) {
        EXPECT_EQ(h.State(control), shown) << control;
        h.Set(control, entered);
    }
    EXPECT_EQ(h.Find<QLineEdit>("ePassword")->displayText(), "xxxxxxx");
    test::StartWriteLog(h.store.File());
    ASSERT_EQ(h.PressOk(), "");
    EXPECT_EQ(
        std::tuple(h.form.isVisible(), h.form.result(), test::TakeWriteLog(h.store.File()).size()),
        std::tuple(false, QDialog::Accepted, 20u));
    EXPECT_EQ(test::ReadStoreRows(h.store.File()),
              test::Catalogue({{"Connection", test::TextBytes("ppp0")},
                               {"KeepAliveHost", test::TextBytes("ntp.example.org")},
                               {"HistoryScaling", {3, 0, 0, 0}},
                               {"TrafficLimit", {0x50, 0xC3, 0, 0}}, // 50000
                               {"DynDNSPassword", test::TextBytes("secret")}}));
    EXPECT_EQ(Validated(h.entry, QCoreApplication::applicationFilePath()),
              "Exec=" + QCoreApplication::applicationFilePath().toStdString() + "\n0");

    h.Open("cbPhoneEntries=ppp0");
    EXPECT_EQ(h.State("ckStartAtLogin"), "on");
    h.Set("ckStartAtLogin", "off");
    ASSERT_EQ(h.PressOk(), "");
    EXPECT_FALSE(std::filesystem::exists(h.entry));

    std::filesystem::remove(h.entry.parent_path());
    std::ofstream(h.entry.parent_path()) << "a file where the folder should be";
    h.Open("cbPhoneEntries=ppp0;cbLimit=2000;ckStartAtLogin=on");
    EXPECT_TRUE(h.PressOk().startsWith("Error (!) Cannot write the autostart entry " +
                                       QString::fromStdString(h.entry.string()) + ": "));
    EXPECT_EQ(std::tuple(h.form.result(), CRegVars(h.store.File()).TrafficLimit.Get()),
              std::tuple(QDialog::Accepted, 2000u));

    // Exec splits its value at blanks and gives some characters a meaning of their own.
    const auto entry = h.store.Dir() / h.entry.filename();
    for (const auto& [program, exec] :
         {std::pair("/opt/Quill mar/bin/quillmar", R"("/opt/Quill mar/bin/quillmar")"),
          {R"(/opt/a$b "c" 100%/quillmar)", R"("/opt/a\\$b \\"c\\" 100%%/quillmar")"}}) {
        EXPECT_EQ(platform::writeAutostartEntry(entry, program), "");
        EXPECT_EQ(Validated(entry, exec), "Exec=" + std::string(exec) + "\n0");
    }
}

constexpr const char* Rx = "Invalid bandwidth RX! Please enter a number between 8 and 26000.";
constexpr const char* Tx = "Invalid bandwidth TX! Please enter a number between 8 and 26000.";
constexpr const char* KeepAlive =
    "Invalid keep-alive time! Please enter a number between 1 and 60.";
constexpr const char* Limit = "Invalid traffic limit! Please enter a number between 1 and 1000000.";
constexpr const char* Speed = "Invalid update speed! Please enter a number between 1 and 60.";

// Rows of entries (check boxes take "on" or "off") with the message OK raises, or none and the
// number it stores. Several faults: only the first in checking order is reported; the dialog
// stays, nothing is written, Cancel then closes it, still writing nothing. One dialog serves them
// all: it reloads the store at each showing. A stored index outside its list shows no selection
// and is reported. The link list selects the stored connection by its last exact match.
TEST(OptionsValidation, PassesWithItsNumberOrReportsTheFirstFault)
{
    const std::pair<const char*, const char*> rows[] = {
        {"cbBandwidthRX=128 kbit;cbUpdateSpeed= 60 ;cbLimit=1000000", nullptr},
        {"ckAutoUpdate=on;eHostname=h;eUsername=;ePassword=p", "No username entered for DynDNS!"},
        {"ckKeepAliveEnabled=off;cbKeepAliveTime=0", KeepAlive},
        {"ckKeepAliveEnabled=on;eKeepAliveHost=   ", "No hostname entered for NTP server!"},
        {"cbPhoneEntries=   ;cbBandwidthRX=7", "No connection selected!"},
        {"cbBandwidthRX=7;cbBandwidthTX=7", Rx},
        {"cbBandwidthTX=7;cbUpdateSpeed=0", Tx},
        {"cbUpdateSpeed=0;cbLimit=0", Speed},
        {"ckAutoUpdate=on;eHostname=h;eUsername=u;ePassword= ;cbKeepAliveTime=0",
         "No password entered for DynDNS!"},
        {"ckKeepAliveEnabled=on;eKeepAliveHost=;cbKeepAliveTime=61", KeepAlive},
        {"cbKeepAliveTime=0;cbLimit=1000001", Limit},
        {"ckKeepAliveEnabled=on;eKeepAliveHost=;ckAutoUpdate=on;eHostname=  ",
         "No hostname entered for DynDNS!"}};
    OptionsHarness h;
    h.vars.HistoryScaling.Set(4);
    h.vars.LimitAutoReset.Set(29);
    h.Open();
    EXPECT_EQ(h.PressOk(), "Error (!) No scaling selected!");
    h.Set("cbHistScala", "kBit/s");
    EXPECT_EQ(h.PressOk(), "Error (!) No day for auto-reset selected!");
    h.PressCancel();
    h.vars.HistoryScaling.Set(0);
    h.vars.LimitAutoReset.Set(0);
    for (const auto& [entries, message] : rows) {
        SCOPED_TRACE(entries);
        h.Open(entries);
        test::StartWriteLog(h.store.File());
        EXPECT_EQ(h.PressOk(), message ? QString("Error (!) ") + message : "");
        if (message) {
            EXPECT_TRUE(h.form.isVisible());
            h.PressCancel();
        }
        EXPECT_EQ(
            std::tuple(h.form.isVisible(), h.form.result(),
                       test::TakeWriteLog(h.store.File()).size()),
            std::tuple(false, message ? QDialog::Rejected : QDialog::Accepted, message ? 0u : 20u));
    }
    const CRegVars stored(h.store.File());
    EXPECT_EQ(std::tuple(stored.BandwidthRX.Get(), stored.HistoryUpdateSpeed.Get(),
                         stored.TrafficLimit.Get()),
              std::tuple(128u, 60u, 1000000u));

    // The leading number of a text, and whether it is in range.
    const std::tuple<const char*, std::int32_t, std::int32_t, std::optional<std::int32_t>>
        numbers[] = {{"\x7f \t60\r\n", 1, 60, 60},
                     {"   ", 1, 60, std::nullopt},
                     {"2147483647", 1, 2147483647, 2147483647},
                     // These wrap to in-range numbers in 32-bit arithmetic.
                     {"4294967304", 8, 26000, std::nullopt},
                     {"2147483648", 1, 2147483647, std::nullopt},
                     {"-2147483649", -2147483647 - 1, -1, std::nullopt}};
    for (const auto& [text, lowest, highest, number] : numbers)
        EXPECT_EQ(NumberInRange(text, lowest, highest), number) << text;

    // The list offers the links the service names and selects the last exact match. A stored
    // connection it does not name now, or a list that failed (too long), is added last and kept
    // by OK; blanks are no connection, and OK asks for one.
    const std::tuple<std::vector<std::string>, const char*, int, int> lists[] = {
        {{"eth0", "wlan0", "eth0", "eth1"}, "eth0", 4, 2},
        {{"eth0", "wlan0"}, "ETH0", 3, 2},
        {{"eth0", "eth01"}, "eth", 3, 2},
        {std::vector<std::string>(51, "ppp0"), "ppp0", 1, 0},
        {{"eth0"}, " ", 1, -1}};
    for (const auto& [entries, connection, count, selected] : lists) {
        h.ras.entries = entries;
        h.vars.Connection.Set(connection);
        h.Open();
        const auto* combo = h.Find<QComboBox>("cbPhoneEntries");
        EXPECT_EQ(std::tuple(combo->count(), combo->currentIndex(), combo->currentText()),
                  std::tuple(count, selected, selected < 0 ? "" : QString(connection)));
        EXPECT_EQ(h.PressOk(), selected < 0 ? "Error (!) No connection selected!" : "");
        if (selected < 0)
            h.PressCancel();
    }
}

} // namespace
