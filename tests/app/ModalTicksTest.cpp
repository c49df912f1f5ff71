// Modal windows over the main window: the watch cycle goes on behind each of them on the real
// timer and the real event loop, and the settings dialog's changes take effect.
#include "app/MainWindowFixture.h"
#include "settings/Foptions.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
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

    std::unique_ptr<TFormOptions> dialog;
};

} // namespace

// Traffic flows on the line while the real timer ticks every TickMs. Once a modal window is up,
// four readings of the stored received total are taken a few ticks apart, each higher than the
// one before, then the window is closed.
TEST_F(Modals, TheWatchCycleGoesOnBehindEveryModalWindow)
{
    // Stored received total, closing at the limit, information shown, the menu that opens it.
    const std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, const char*> kinds[] = {
        {70 * Percent - 1, 0, 1, nullptr},  // the limit hint opened by the watch cycle
        {100 * Percent - 1, 1, 1, nullptr}, // the limit box while the hang-up is refused
        {0, 0, 0, nullptr},                 // the information at the first run
        {0, 0, 1, "mimSettings"}};
    QStringList shown;
    ras.hangUpResult = 5;
    for (const auto& [sumRX, closeAtLimit, infoShown, menu] : kinds) {
        SCOPED_TRACE(testing::Message() << sumRX << " " << infoShown);
        settings->SumRXLo.Set(sumRX);
        settings->OnLimitCloseConnection.Set(closeAtLimit);
        settings->OnLimitShowMessage.Set(!closeAtLimit);
        settings->InfoShown.Set(infoShown);
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
        if (menu)
            form->findChild<QAction*>(menu)->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return totals.size() == 4; }, 5000));
        EXPECT_TRUE(std::ranges::adjacent_find(totals, std::greater_equal<>{}) == totals.end());
    }
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0] + shown[1], "Info|Traffic has now reached 70%.Info|Traffic limit has been "
                                   "reached! Connection has been closed.");
    EXPECT_TRUE(shown[2].startsWith("License Agreement, Copyright|"));
}

// Keep-connected switched on while connected arms redial at once, with this note.
TEST_F(Modals, KeepConnectedSwitchedOnShowsItsNote)
{
    test::MessageBoxRecorder boxes;
    ras.entries = {"dsl"};
    ConnectLine();
    StartWindowWithDialog();
    WhenModalOpens([this](QWidget* shown) {
        EXPECT_EQ(shown, dialog.get());
        shown->findChild<QCheckBox*>("ckKeepConnected")->setChecked(true);
        shown->findChild<QPushButton*>("btOK")->click();
    });
    form->findChild<QAction*>("mimSettings")->trigger();
    EXPECT_TRUE(form->IsKeepingConnection());
    EXPECT_EQ(boxes.boxes, QStringList("Request|Please note:\n"
                                       "In the future, Quillmar will keep a established\n"
                                       "connection. In order to disconnect please use the\n"
                                       "disconnect button from Quillmar!"));
}
