// Modal windows over the main window: the watch cycle goes on behind them on the real timer and
// the real event loop, and the settings dialog's changes take effect.
#include "app/MainWindowFixture.h"
#include "settings/Foptions.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

using Modals = test::MainWindowFixture;

void WhenModalOpens(const std::function<void(QWidget*)>& act)
{
    QTimer::singleShot(2, [act] {
        if (QWidget* modal = QApplication::activeModalWidget())
            act(modal);
        else
            WhenModalOpens(act);
    });
}

} // namespace

// Traffic flows on the line while the real timer ticks every 20 ms. Once the information of the
// first run is up, four readings of the stored received total are taken a few ticks apart, each
// higher than the one before, then the window is closed.
TEST_F(Modals, TheWatchCycleGoesOnBehindAModalWindow)
{
    settings->InfoShown.Set(0);
    ConnectLine();
    StartWindow();
    QTimer traffic;
    QObject::connect(&traffic, &QTimer::timeout,
                     [this] { ras.Find("dsl")->stats.bytesReceived++; });
    traffic.start(5);
    std::vector<std::uint32_t> totals;
    WhenModalOpens([&](QWidget* modal) {
        // Stored before it is shown: a kill while it is open does not bring it back.
        EXPECT_EQ(CRegVars(store.File()).InfoShown.Get(), 1u);
        EXPECT_EQ(modal->windowTitle(), "License Agreement, Copyright");
        for (int i = 0; i < 4; ++i) {
            QTest::qWait(60);
            totals.push_back(CRegVars(store.File()).SumRXLo.Get());
        }
        qobject_cast<QDialog*>(modal)->reject();
    });
    form->WatchTimer->start(20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return totals.size() == 4; }, 5000));
    EXPECT_TRUE(std::ranges::adjacent_find(totals, std::greater_equal<>{}) == totals.end());
}

// Keep-connected switched on while connected arms redial at once, with this note.
TEST_F(Modals, KeepConnectedSwitchedOnShowsItsNote)
{
    test::MessageBoxRecorder boxes;
    ras.entries = {"dsl"};
    ConnectLine();
    StartWindow();
    TFormOptions dialog(form.get(), *settings, ras);
    form->FormOptions = &dialog;
    WhenModalOpens([&](QWidget* shown) {
        EXPECT_EQ(shown, &dialog);
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
