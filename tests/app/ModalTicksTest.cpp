// The watch cycle goes on behind every modal window, on the real timer and the real event loop.
#include "app/MainWindowFixture.h"
#include "settings/Foptions.h"
#include "settings/StoreRows.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace {

// Limit 1000 MByte: one per cent is 10,000,000 bytes.
constexpr std::uint32_t Percent = 10'000'000;
constexpr int TickMs = 20;

class TicksBehindModals : public test::MainWindowFixture {
protected:
    // Traffic flows on the line while the real timer ticks every TickMs. Once a modal window is
    // up, `samples` readings of the stored received total are taken a few ticks apart, then the
    // window is closed; `open` opens it or leaves it to the watch cycle.
    std::vector<std::uint32_t> StoredTotalsWhileModalOpen(const std::function<void()>& open,
                                                          int samples = 4)
    {
        QTimer traffic;
        QObject::connect(&traffic, &QTimer::timeout, [this] {
            platform::RasStats& stats = ras.Find("dsl")->stats;
            stats.bytesReceived += 1000;
            stats.connectDurationMs += 5;
        });
        traffic.start(5);

        std::vector<std::uint32_t> totals;
        bool closed = false;
        WhenModalOpens([&](QWidget* modal) {
            for (int i = 0; i < samples; ++i) {
                QTest::qWait(3 * TickMs);
                totals.push_back(StoredDword("SumRXLo"));
            }
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                box->button(QMessageBox::Ok)->click();
            else
                qobject_cast<QDialog*>(modal)->reject();
            closed = true;
        });
        form->WatchTimer->start(TickMs);
        open();
        EXPECT_TRUE(QTest::qWaitFor([&] { return closed; }, 5000));
        return totals;
    }

    std::uint32_t StoredDword(const char* name) const
    {
        for (const test::StoreRow& row : test::ReadStoreRows(store.File()))
            if (row.name == name)
                return row.data[0] | row.data[1] << 8 | row.data[2] << 16 |
                       std::uint32_t(row.data[3]) << 24;
        return 0;
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

    static void ExpectRisingAtEverySample(const std::vector<std::uint32_t>& totals)
    {
        ASSERT_EQ(totals.size(), 4u);
        for (std::size_t i = 1; i < totals.size(); ++i)
            EXPECT_GT(totals[i], totals[i - 1]) << "sample " << i;
    }
};

TEST_F(TicksBehindModals, TheLimitHintBoxOpenedByTheCycle)
{
    settings->SumRXLo.Set(70 * Percent - 1);
    ConnectLine();
    StartWindow();
    ExpectRisingAtEverySample(StoredTotalsWhileModalOpen([] {}));
    EXPECT_EQ(Protocol().count("Traffic has now reached 70%."), 1);
}

TEST_F(TicksBehindModals, TheLimitBoxWhileTheHangUpIsRefused)
{
    settings->OnLimitCloseConnection.Set(1);
    settings->OnLimitShowMessage.Set(0);
    settings->SumRXLo.Set(100 * Percent - 1);
    ras.hangUpResult = 5;
    ConnectLine();
    StartWindow();
    ExpectRisingAtEverySample(StoredTotalsWhileModalOpen([] {}));
}

// Once per profile, at the first tick; stored first, so neither the ticks behind the box nor a
// kill while it is open bring it back.
TEST_F(TicksBehindModals, TheInformationBoxOfTheFirstRunAndFromTheMenu)
{
    settings->InfoShown.Set(0);
    ConnectLine();
    StartWindow();
    test::MessageBoxRecorder boxes;
    QString countedBehindTheBox;
    int opened = 0;
    boxes.whileOpen = [&] {
        if (opened++ > 0)
            return;
        EXPECT_EQ(StoredDword("InfoShown"), 1u);
        SetLineCounters(5000, 0, 1000);
        QTest::qWait(5 * TickMs);
        countedBehindTheBox = form->stSumRX->text();
    };
    form->WatchTimer->start(TickMs);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !countedBehindTheBox.isEmpty(); }, 5000));
    QTest::qWait(5 * TickMs);
    EXPECT_EQ(countedBehindTheBox, "5.000");
    EXPECT_EQ(boxes.boxes.size(), 1);

    form.reset();
    StartWindow();
    Tick(2);
    QAction* info = form->findChild<QAction*>("miInfo");
    info->trigger();
    info->trigger();
    ASSERT_EQ(boxes.boxes.size(), 3);
    EXPECT_TRUE(boxes.boxes[0].startsWith("License Agreement, Copyright|"));
    EXPECT_EQ(boxes.boxes.count(boxes.boxes[0]), 3);
}

TEST_F(TicksBehindModals, TheSettingsDialogOpenedFromTheMenu)
{
    ConnectLine();
    StartWindow();
    TFormOptions dialog(form.get(), *settings, ras);
    form->FormOptions = &dialog;
    ExpectRisingAtEverySample(StoredTotalsWhileModalOpen(
        [this] { form->findChild<QAction*>("mimSettings")->trigger(); }));
}

} // namespace
