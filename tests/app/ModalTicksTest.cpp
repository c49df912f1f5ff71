// Modal windows over the main window: the watch cycle goes on behind each of them on the real
// timer and the real event loop, and the settings dialog's changes take effect.
#include "app/MainWindowFixture.h"
#include "settings/Foptions.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Limit 1000 MByte: one per cent is 10,000,000 bytes.
constexpr std::uint32_t Percent = 10'000'000;
constexpr int TickMs = 20;

class Modals : public test::MainWindowFixture {
protected:
    void StartWindowWithDialog()
    {
        dialog.reset(); // before the window that owns it
        StartWindow();
        dialog = std::make_unique<TFormOptions>(form.get(), *settings, ras);
        form->FormOptions = dialog.get();
    }

    static void WhenModalOpens(const std::function<void(QWidget*)>& act)
    {
        QTimer::singleShot(2, [act] {
            if (QWidget* modal = QApplication::activeModalWidget())
                act(modal);
            else
                WhenModalOpens(act);
        });
    }

    // Opens the settings from the main menu, lets `edit` change the dialog shown modally, then
    // presses the button named `button`.
    void RunSettings(const std::function<void(QWidget*)>& edit, const char* button = "btOK")
    {
        WhenModalOpens([this, edit, button](QWidget* shown) {
            EXPECT_EQ(shown, dialog.get());
            edit(shown);
            shown->findChild<QPushButton*>(button)->click();
        });
        form->findChild<QAction*>("mimSettings")->trigger();
    }

    std::unique_ptr<TFormOptions> dialog;
};

} // namespace

// Traffic flows on the line while the real timer ticks every TickMs. Once a modal window is up,
// four readings of the stored received total are taken a few ticks apart, each higher than the
// one before, then the window is closed.
TEST_F(Modals, TheWatchCycleGoesOnBehindEveryModalWindow)
{
    const struct {
        std::uint32_t sumRX, closeAtLimit, infoShown;
        const char* menu;                            // opens it, or the watch cycle does
    } kinds[] = {{70 * Percent - 1, 0, 1, nullptr},  // the limit hint
                 {100 * Percent - 1, 1, 1, nullptr}, // the limit box while the hang-up is refused
                 {0, 0, 0, nullptr},                 // the information at the first run
                 {0, 0, 1, "miInfo"},
                 {0, 0, 1, "mimSettings"}};
    QStringList shown;
    ras.hangUpResult = 5;
    for (const auto& kind : kinds) {
        SCOPED_TRACE(testing::Message() << kind.sumRX << " " << kind.infoShown);
        settings->SumRXLo.Set(kind.sumRX);
        settings->OnLimitCloseConnection.Set(kind.closeAtLimit);
        settings->OnLimitShowMessage.Set(!kind.closeAtLimit);
        settings->InfoShown.Set(kind.infoShown);
        ras.connections.clear();
        ConnectLine();
        StartWindowWithDialog();
        QTimer traffic;
        QObject::connect(&traffic, &QTimer::timeout, [this] {
            ras.Find("dsl")->stats.bytesReceived += 1000;
            ras.Find("dsl")->stats.connectDurationMs += 5;
        });
        traffic.start(5);
        std::vector<std::uint32_t> totals;
        WhenModalOpens([&](QWidget* modal) {
            // Stored before it is shown: a kill while it is open does not bring it back.
            EXPECT_EQ(CRegVars(store.File()).InfoShown.Get(), 1u);
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                shown << box->windowTitle() + "|" + box->text();
            for (int i = 0; i < 4; ++i) {
                QTest::qWait(3 * TickMs);
                totals.push_back(CRegVars(store.File()).SumRXLo.Get());
            }
            qobject_cast<QDialog*>(modal)->reject();
        });
        form->WatchTimer->start(TickMs);
        if (kind.menu)
            form->findChild<QAction*>(kind.menu)->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return totals.size() == 4; }, 5000));
        EXPECT_TRUE(std::ranges::adjacent_find(totals, std::greater_equal<>{}) == totals.end());
    }
    ASSERT_EQ(shown.size(), 4);
    EXPECT_EQ(shown[0] + shown[1], "Info|Traffic has now reached 70%.Info|Traffic limit has been "
                                   "reached! Connection has been closed.");
    EXPECT_TRUE(shown[2].startsWith("License Agreement, Copyright|"));
    EXPECT_EQ(shown[3], shown[2]);
}

// Keep-connected switched on shows one note and arms redial at once while connected; switched
// off, it disarms. The picked interface is watched from the next tick.
TEST_F(Modals, TheSettingsTakeEffectWhenAccepted)
{
    const QString note = "Request|Please note:\n"
                         "In the future, Quillmar will keep a established\n"
                         "connection. In order to disconnect please use the\n"
                         "disconnect button from Quillmar!";
    const auto keep = [](bool on) {
        return [on](QWidget* shown) {
            shown->findChild<QCheckBox*>("ckKeepConnected")->setChecked(on);
        };
    };
    test::MessageBoxRecorder boxes;
    ras.entries = {"dsl", "wan0"};
    ras.Add("wan0", 42).stats = {1000, 0, 1000};
    ConnectLine();
    StartWindowWithDialog();
    RunSettings(keep(true), "btCancel");
    EXPECT_EQ(settings->KeepConnected.Get(), 0u);
    RunSettings(keep(true));
    EXPECT_TRUE(form->IsKeepingConnection());
    RunSettings(keep(false));
    EXPECT_FALSE(form->IsKeepingConnection());
    RunSettings(keep(true));
    RunSettings([](QWidget*) {}); // already on: no second note
    EXPECT_EQ(boxes.boxes, QStringList(2, note));

    RunSettings([](QWidget* shown) {
        shown->findChild<QComboBox*>("cbPhoneEntries")->setCurrentText("wan0");
    });
    Tick();
    EXPECT_EQ(form->stSessionRX->text(), "1.000");
}
