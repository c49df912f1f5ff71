#include "app/MainWindowFixture.h"
#include "settings/StoreRows.h"

using WatchCycle = test::MainWindowFixture;

TEST_F(WatchCycle, ANewConnectionIsAnnouncedAndCountedFromItsFirstByte)
{
    StartWindow();
    ConnectLine(5000, 700, 1000);
    Tick();
    EXPECT_EQ(Protocol().mid(4), QStringList({"---------------------------------------------------",
                                              "Now, we are connected"}));
    EXPECT_EQ(form->stSessionRX->text(), "5.000");
    EXPECT_EQ(form->stSessionTX->text(), "700");
    EXPECT_EQ(settings->SumRXLo.Get(), 5000u);
    SetLineCounters(8000, 700, 2000);
    Tick();
    EXPECT_EQ(form->stSessionRX->text(), "8.000");
    EXPECT_EQ(settings->SumRXLo.Get(), 8000u);
    EXPECT_EQ(settings->SumTXLo.Get(), 700u);
    EXPECT_EQ(Protocol().size(), 6); // an established line says nothing more
}

TEST_F(WatchCycle, TheTickThatLosesTheLineAddsNothingAndTheNextSessionStartsAtZero)
{
    ConnectLine(1000, 1000, 1000);
    StartWindow();
    SetLineCounters(3000, 1500, 2000);
    Tick();
    test::StartWriteLog(store.File());
    DropLine();
    Tick(2);
    EXPECT_EQ(test::TakeWriteLog(store.File()), std::vector<std::string>{});
    EXPECT_EQ(form->stSessionRX->text(), "-");
    EXPECT_EQ(form->stSumRX->text(), "2.000");
    EXPECT_EQ(Protocol().back(), "Now, we are disconnected");
    EXPECT_EQ(Protocol().count("Now, we are disconnected"), 1);
    ConnectLine(600, 0, 500);
    Tick();
    EXPECT_EQ(form->stSessionRX->text(), "600");
    EXPECT_EQ(settings->SumRXLo.Get(), 2600u);
}

// Past 2^32 the counters wrap; counters that went back while the entry stayed connected belong to
// a link made anew between two polls, and count their new values.
TEST_F(WatchCycle, CountersThatWrapOrGoBackCountTheirTrueChange)
{
    ConnectLine(4294967000u, 4294967290u, 4294966000u);
    StartWindow();
    SetLineCounters(1000, 4, 704);
    Tick();
    EXPECT_EQ(form->stSessionRX->text(), "1.296");
    EXPECT_EQ(form->stSessionTX->text(), "10");
    SetLineCounters(200, 3, 100);
    Tick();
    EXPECT_EQ(settings->SumRXLo.Get(), 1496u);
    EXPECT_EQ(settings->SumTXLo.Get(), 13u);
    EXPECT_EQ(form->stSessionSum->text(), "1.509");
}

TEST_F(WatchCycle, ANewConnectionArmsRedialAtEveryDisconnectedTickUntilHangUp)
{
    settings->KeepConnected.Set(1);
    StartWindow();
    EXPECT_FALSE(form->IsKeepingConnection());
    ConnectLine();
    Tick();
    EXPECT_TRUE(form->IsKeepingConnection());
    EXPECT_EQ(Protocol().back(), "Quillmar will keep the connection.");
    ras.dial = [](const char*, std::uint32_t& error) {
        error = 678;
        return false;
    };
    DropLine();
    Tick(3);
    EXPECT_EQ(ras.dialled.size(), 3u);
    EXPECT_EQ(Protocol().count("Dialing error: 678"), 3);
    form->HangUp(); // disarms
    Tick();
    EXPECT_EQ(ras.dialled.size(), 3u);
}

// Limit 1000 MByte: one per cent is 10,000,000 bytes.
constexpr std::uint32_t Percent = 10'000'000;

struct HintCase {
    std::uint32_t before;
    std::uint32_t after;
    bool hint;
    std::uint32_t showMessage = 1;
};

class LimitHints : public test::MainWindowFixture,
                   public ::testing::WithParamInterface<HintCase> {};

TEST_P(LimitHints, OneHintForTheHighestThresholdCrossed)
{
    const HintCase& c = GetParam();
    settings->OnLimitShowMessage.Set(c.showMessage);
    settings->SumRXLo.Set(c.before * Percent);
    ConnectLine();
    StartWindow();
    SetLineCounters((c.after - c.before) * Percent, 0, 1000);
    test::MessageBoxRecorder boxes;
    Tick();
    const QString hint = QString("Traffic has now reached %1%.").arg(c.after);
    EXPECT_EQ(boxes.boxes, c.hint ? QStringList("Info|" + hint) : QStringList());
    EXPECT_EQ(Protocol().filter("Traffic has now"), c.hint ? QStringList(hint) : QStringList());
}

INSTANTIATE_TEST_SUITE_P(WatchCycle, LimitHints,
                         ::testing::Values(HintCase{69, 71, true}, HintCase{71, 99, true},
                                           HintCase{69, 70, true}, HintCase{89, 90, true},
                                           HintCase{97, 98, true}, HintCase{50, 150, true},
                                           HintCase{70, 89, false}, HintCase{98, 120, false},
                                           HintCase{10, 69, false},
                                           HintCase{69, 71, false, 0})); // switched off

TEST_F(WatchCycle, NoHintAboveTheTopThresholdAtStartButAgainAfterTheTotalDrops)
{
    settings->SumRXLo.Set(99 * Percent);
    ConnectLine();
    StartWindow();
    test::MessageBoxRecorder boxes;
    SetLineCounters(1000, 0, 1000);
    Tick();
    EXPECT_TRUE(boxes.boxes.isEmpty());
    form->SetSumRX(0);
    SetLineCounters(1000 + 70 * Percent, 0, 2000);
    Tick();
    EXPECT_EQ(boxes.boxes, QStringList("Info|Traffic has now reached 70%."));
}

TEST_F(WatchCycle, ANestedTickInsideAHintBoxDoesNotRepeatTheHint)
{
    settings->SumRXLo.Set(69 * Percent);
    ConnectLine();
    StartWindow();
    SetLineCounters(2 * Percent, 0, 1000);
    test::MessageBoxRecorder boxes;
    boxes.whileOpen = [&] {
        SetLineCounters(2 * Percent + 5000, 0, 2000);
        Tick(); // the timer goes on behind the modal box
    };
    Tick();
    EXPECT_EQ(boxes.boxes, QStringList("Info|Traffic has now reached 71%."));
    EXPECT_EQ(Protocol().count("Traffic has now reached 71%."), 1);
    EXPECT_EQ(settings->SumRXLo.Get(), 71 * Percent + 5000);
}

TEST_F(WatchCycle, AtTheLimitTheLineIsClosedOnceAndNotRedialled)
{
    settings->OnLimitCloseConnection.Set(1);
    settings->OnLimitShowMessage.Set(0);
    settings->KeepConnected.Set(1);
    settings->SumRXLo.Set(99 * Percent);
    ConnectLine();
    StartWindow();
    ASSERT_TRUE(form->IsKeepingConnection());
    SetLineCounters(Percent, 0, 1000);
    test::MessageBoxRecorder boxes;
    Tick();
    EXPECT_EQ(Protocol().mid(Protocol().size() - 2),
              QStringList({"Traffic limit has been reached. Closing connection...",
                           "Connection closed successfully."}));
    EXPECT_EQ(boxes.boxes,
              QStringList("Info|Traffic limit has been reached! Connection has been closed."));
    EXPECT_FALSE(form->IsKeepingConnection());
    Tick(2);
    EXPECT_EQ(Protocol().back(), "Now, we are disconnected");
    EXPECT_TRUE(ras.dialled.empty());
}

TEST_F(WatchCycle, ARefusedHangUpAtTheLimitIsRetriedEveryTickWithOneBoxAtATime)
{
    settings->OnLimitCloseConnection.Set(1);
    settings->OnLimitShowMessage.Set(0);
    settings->SumRXLo.Set(100 * Percent);
    ras.hangUpResult = 5;
    ConnectLine();
    StartWindow();
    test::MessageBoxRecorder boxes;
    int nested = 0;
    boxes.whileOpen = [&] {
        if (nested++ == 0)
            Tick(); // a nested tick while the limit box is open shows no second box
    };
    Tick();
    EXPECT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(Protocol().count("Traffic limit has been reached. Closing connection..."), 2);
    EXPECT_EQ(Protocol().count("Error during closing the connection (Code 5)"), 2);
    Tick(); // the box is closed again: the next tick may show it
    EXPECT_EQ(boxes.boxes.size(), 2);
}
