// The watch cycle: start, dialling, counting, the limit, redial and the protocol.
#include "app/MainWindowFixture.h"
#include "graph/HistoryDisplay.h"
#include "settings/StoreRows.h"
#include "traffic/PackedDateTime.h"

#include <QAction>
#include <QPushButton>

using WatchCycle = test::MainWindowFixture;
using Names = std::vector<std::string>;

namespace {

// Limit 1000 MByte: one per cent is 10,000,000 bytes.
constexpr std::uint32_t Percent = 10'000'000;

// Session received, transmitted, sum; overall received and sum.
QString Counters(const TFormMain& form)
{
    return QStringList({form.stSessionRX->text(), form.stSessionTX->text(),
                        form.stSessionSum->text(), form.stSumRX->text(), form.stSum->text()})
        .join(' ');
}

void FailDials(test::FakeRasApi& ras)
{
    ras.dial = [](const char*, std::uint32_t& error) {
        error = 678;
        return false;
    };
}

} // namespace

// A line still being dialled counts as down; auto-connect dials only a line that is down; a
// later start counts from the start, not from the line's first byte, and arms redial silently.
TEST_F(WatchCycle, FirstStartAutoConnectAndAStartWhileConnected)
{
    clock.now = QDateTime(QDate(2026, 12, 6), QTime(20, 15, 31));
    ConnectLine(5000, 0, 0).state = 0x10;
    StartWindow();
    EXPECT_EQ(NewLines(),
              QStringList({"Saved the very first start time", "Monitoring RAS connection \"dsl\".",
                           "Maximum traffic is 1000 MByte.", "We are currently disconnected"}));
    EXPECT_EQ(TimeText(settings->LimitLastReset.Get()), "20:15:30");
    EXPECT_TRUE(ras.dialled.empty());
    form.reset();
    DropLine();
    settings->AutoConnect.Set(1);
    StartWindow();
    EXPECT_EQ(ras.dialled, Names{"dsl"});
    EXPECT_EQ(Protocol().mid(3), QStringList({"Dialing...", "Dialing successful"}));
    EXPECT_FALSE(form->IsKeepingConnection());

    form.reset();
    clock.now = clock.now.addDays(3);
    settings->TrafficLimit.Set(250);
    settings->KeepConnected.Set(1);
    settings->SumRXLo.Set(1234567);
    SetLineCounters(90000, 4000, 60000);
    StartWindow(); // the line is up now
    EXPECT_EQ(ras.dialled.size(), 1u);
    EXPECT_EQ(Protocol(),
              QStringList({"Monitoring RAS connection \"dsl\".", "Maximum traffic is 250 MByte.",
                           "We are currently connected"}));
    EXPECT_EQ(DateText(settings->LimitLastReset.Get()), "06.12.2026");
    EXPECT_TRUE(form->IsKeepingConnection());
    EXPECT_EQ(Counters(*form), "0 0 0 1.234.567 1.234.567");
    SetLineCounters(91000, 4500, 61000);
    Tick();
    EXPECT_EQ(Counters(*form), "1.000 500 1.500 1.235.567 1.236.067");
    EXPECT_EQ(Protocol().size(), 3); // an established line says nothing more
}

// Only a direction that moved is written, high word first; the tick that loses the line adds
// nothing, and the next session starts at zero.
TEST_F(WatchCycle, ASessionCountedFromItsFirstByteToItsLoss)
{
    settings->SumRXLo.Set(5000);
    StartWindow();
    test::StartWriteLog(store.File());
    form->UpdateCounters(100, 200); // disconnected: nothing counts
    Tick();
    EXPECT_EQ(Counters(*form), "- - - 5.000 5.000");
    ConnectLine(5000, 700, 1000);
    Tick();
    const QString separator = "---------------------------------------------------";
    EXPECT_EQ(Protocol().mid(4), QStringList({separator, "Now, we are connected"}));
    EXPECT_EQ(Counters(*form), "5.000 700 5.700 10.000 10.700");
    const std::pair<std::array<std::uint32_t, 2>, Names> steps[] = {
        {{5000, 700}, {"SumRXHi", "SumRXLo", "SumTXHi", "SumTXLo"}}, // the tick before
        {{8000, 700}, {"SumRXHi", "SumRXLo"}},
        {{8000, 720}, {"SumTXHi", "SumTXLo"}},
        {{8000, 720}, {}}};
    for (const auto& [counters, written] : steps) {
        if (!written.empty() && written.size() < 4) {
            SetLineCounters(counters[0], counters[1], 2000);
            Tick();
        }
        EXPECT_EQ(test::TakeWriteLog(store.File()), written);
    }
    EXPECT_EQ(CRegVars(store.File()).SumTXLo.Get(), 720u);
    DropLine();
    Tick(2);
    EXPECT_EQ(test::TakeWriteLog(store.File()), Names{});
    EXPECT_EQ(Counters(*form), "- - - 13.000 13.720");
    EXPECT_EQ(Protocol().mid(6), QStringList("Now, we are disconnected"));
    ConnectLine(600, 0, 500);
    Tick();
    EXPECT_EQ(form->stSessionRX->text() + " " + form->stSumRX->text(), "600 13.600");
}

// Past 2^32 the counters wrap; counters that went back while the entry stayed connected belong to
// a link made anew between two polls, and count their new values. The overall sum carries into
// the high word; a carry with its low half refused stores neither half.
TEST_F(WatchCycle, CountersWrapGoBackAndCarry)
{
    settings->SumRXLo.Set(4294967000u);
    ConnectLine(4294967000u, 4294967290u, 4294966000u);
    StartWindow();
    SetLineCounters(1000, 4, 704);
    Tick();
    EXPECT_EQ(Counters(*form), "1.296 10 1.306 4.294.968.296 4.294.968.306");
    SetLineCounters(200, 3, 100);
    Tick();
    EXPECT_EQ(form->stSessionSum->text(), "1.509");
    const auto stored = [this] {
        const CRegVars reread(store.File());
        return QString("%1 %2 %3")
            .arg(reread.SumRXHi.Get())
            .arg(reread.SumRXLo.Get())
            .arg(reread.SumTXLo.Get());
    };
    EXPECT_EQ(stored(), "1 1200 13");
    form->UpdateCounters(4294966095u, 0);
    test::RefuseWritesOf(store.File(), "SumRXLo");
    form->UpdateCounters(1, 0);
    EXPECT_EQ(stored(), "1 4294967295 13");
}

// Every second tick by default, the rate over the line's own time since the last sample; at once
// when the speed drops below the ticks counted; zero while the line is down; a duration of 0
// counts as one millisecond.
TEST_F(WatchCycle, GraphSamples)
{
    const struct {
        std::uint32_t speed, rx, tx, ms;
        int ticks;
        bool drop;
        const char* samples; // count, newest received and transmitted in kBit/s
    } steps[] = {
        {2, 1000, 250, 1000, 1, false, "0 0 0"},      {2, 3000, 500, 3000, 1, false, "1 8 1"},
        {2, 5000, 500, 4000, 1, false, "1 8 1"},      {2, 7000, 500, 5000, 1, false, "2 16 0"},
        {1, 132000, 500, 6000, 1, false, "3 1000 0"}, {10, 132000, 500, 6000, 3, false, "3 1000 0"},
        {2, 132000, 500, 6000, 1, false, "4 0 0"},    {1, 140000, 900, 7000, 1, true, "5 0 0"}};
    ConnectLine();
    StartWindow();
    for (const auto& step : steps) {
        settings->HistoryUpdateSpeed.Set(step.speed);
        SetLineCounters(step.rx, step.tx, step.ms);
        if (step.drop)
            DropLine(); // lost before the tick: nothing of it reaches the graph
        Tick(step.ticks);
        const auto& rx = form->historyDisplay->HistoryRX();
        EXPECT_EQ(QString("%1 %2 %3")
                      .arg(rx.Count())
                      .arg(rx.Count() ? rx.Recent(1) : 0)
                      .arg(rx.Count() ? form->historyDisplay->HistoryTX().Recent(1) : 0),
                  step.samples)
            << step.rx;
    }
    ConnectLine(500, 0, 0);
    Tick();
    EXPECT_EQ(form->historyDisplay->HistoryRX().Recent(1), 4000);
}

// Redial: armed silently when connected at start, with a line by a new connection, disarmed by
// hang-up even without an established line. Dialling: refused at the limit only with closing at
// the limit on (both directions count); failures logged; a dial inside a running dial does
// nothing; buttons and both menus reach dial and hang-up.
TEST_F(WatchCycle, DialRedialAndHangUp)
{
    settings->KeepConnected.Set(1);
    ConnectLine();
    StartWindow();
    Tick();
    NewLines();
    EXPECT_TRUE(form->IsKeepingConnection());
    ras.Find("dsl")->state = 0x10; // redialled, not yet up
    form->HangUp();
    EXPECT_TRUE(ras.hungUp.empty());
    EXPECT_FALSE(form->IsKeepingConnection());
    ras.Find("dsl")->state = platform::RasConnectedState;
    ras.hangUpResult = 4294967295u;
    form->HangUp();
    ras.hangUpResult = 0;
    form->HangUp();
    EXPECT_EQ(ras.hungUp, (std::vector<platform::RasHandle>{7, 7}));
    Tick();
    ConnectLine();
    Tick();
    EXPECT_TRUE(form->IsKeepingConnection());
    FailDials(ras);
    DropLine();
    Tick(2);
    form->HangUp();
    Tick();
    EXPECT_EQ(ras.dialled.size(), 2u);
    EXPECT_EQ(
        NewLines(),
        QStringList({"It seems, that we are already disconnected.",
                     "Error during closing the connection (Code 4294967295)",
                     "Connection closed successfully.", "Now, we are disconnected",
                     "---------------------------------------------------", "Now, we are connected",
                     "Quillmar will keep the connection.", "Now, we are disconnected", "Dialing...",
                     "Dialing error: 678", "Dialing...", "Dialing error: 678",
                     "It seems, that we are already disconnected."}));

    settings->SumRXLo.Set(999'999'999);
    settings->SumTXLo.Set(1);
    settings->OnLimitCloseConnection.Set(1);
    form.reset();
    DropLine();
    StartWindow();
    NewLines();
    form->Dial();
    settings->OnLimitCloseConnection.Set(0);
    ras.dial = [](const char*, std::uint32_t& error) { return error = 0, false; }; // cancelled
    form->Dial();
    ras.dial = [&](const char* entry, std::uint32_t&) {
        form->Dial(); // the redial of a nested tick, or a click on Connect
        form->btConnect->click();
        ras.Add(entry, 7);
        return true;
    };
    form->Dial();
    DropLine();
    ras.dial = nullptr;
    form->btConnect->click();      // the guard is released afterwards
    ras.Find("dsl")->state = 0x10; // being dialled by another program
    for (const char* action : {"mimConnect", "miConnect", "mimDisconnect", "miDisconnect"})
        form->findChild<QAction*>(action)->trigger();
    form->btDisconnect->click();
    EXPECT_EQ(ras.dialled.size(), 5u);
    EXPECT_TRUE(ras.hungUp.size() == 2);
    EXPECT_EQ(NewLines(), QStringList({"Traffic limit has already been reached.", "Dialing...",
                                       "Dialing error: 0", "Dialing...", "Dialing successful",
                                       "Dialing...", "Dialing successful"}) +
                              QStringList(2, "It seems, that we are already connected.") +
                              QStringList(3, "It seems, that we are already disconnected."));
}

// One hint for the highest threshold crossed; none above the top one at start, but again after
// the total dropped; a nested tick inside the box does not repeat it.
TEST_F(WatchCycle, LimitHints)
{
    const struct {
        std::uint32_t before, after, showMessage;
        bool hint;
    } rows[] = {{69, 71, 1, true},  {71, 99, 1, true},  {69, 70, 1, true},  {89, 90, 1, true},
                {97, 98, 1, true},  {50, 150, 1, true}, {70, 89, 1, false}, {10, 69, 1, false},
                {69, 71, 0, false}, {98, 120, 1, false}};
    test::MessageBoxRecorder boxes;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.before << " " << row.after);
        form.reset();
        ras.connections.clear();
        settings->OnLimitShowMessage.Set(row.showMessage);
        settings->SumRXLo.Set(row.before * Percent);
        ConnectLine();
        StartWindow();
        SetLineCounters((row.after - row.before) * Percent, 0, 1000);
        boxes.boxes.clear();
        Tick();
        const QString hint = QString("Traffic has now reached %1%.").arg(row.after);
        EXPECT_EQ(boxes.boxes, row.hint ? QStringList("Info|" + hint) : QStringList());
        EXPECT_EQ(Protocol().filter("Traffic has now"),
                  row.hint ? QStringList(hint) : QStringList());
    }
    form->SetSumRX(69 * Percent);
    boxes.whileOpen = [&] {
        SetLineCounters(24 * Percent + 5000, 0, 3000);
        Tick(); // the timer goes on behind the modal box
    };
    SetLineCounters(24 * Percent, 0, 2000); // the line stood at 22 %
    Tick();
    EXPECT_EQ(boxes.boxes, QStringList("Info|Traffic has now reached 71%."));
    EXPECT_EQ(Protocol().count("Traffic has now reached 71%."), 1);
    EXPECT_EQ(settings->SumRXLo.Get(), 71 * Percent + 5000);
}

// At the limit the line is closed once and not redialled; a refused hang-up is retried every
// tick with one box at a time; a zero limit never closes it.
TEST_F(WatchCycle, AtTheLimitTheLineIsClosed)
{
    settings->OnLimitCloseConnection.Set(1);
    settings->OnLimitShowMessage.Set(0);
    settings->KeepConnected.Set(1);
    settings->SumRXLo.Set(99 * Percent);
    ConnectLine();
    StartWindow();
    NewLines();
    SetLineCounters(Percent, 0, 1000);
    test::MessageBoxRecorder boxes;
    ras.hangUpResult = 5;
    int nested = 0;
    boxes.whileOpen = [&] {
        if (nested++ == 0)
            Tick(); // a nested tick while the limit box is open shows no second box
    };
    Tick();
    ras.hangUpResult = 0;
    Tick(3); // the box is closed again: the next tick may show it
    const QString closing = "Traffic limit has been reached. Closing connection...";
    EXPECT_EQ(NewLines(),
              QStringList({closing, "Error during closing the connection (Code 5)", closing,
                           "Error during closing the connection (Code 5)", closing,
                           "Connection closed successfully.", "Now, we are disconnected"}));
    EXPECT_EQ(boxes.boxes,
              QStringList(2, "Info|Traffic limit has been reached! Connection has been closed."));
    EXPECT_TRUE(ras.dialled.empty());

    form.reset(); // a zero limit from the store never blocks the cycle
    settings->TrafficLimit.Set(0);
    settings->SumRXHi.Set(7);
    ConnectLine(1000, 0, 1000);
    StartWindow();
    SetLineCounters(2000, 0, 2000);
    Tick(3);
    EXPECT_EQ(form->LimitPercent(), 0);
    EXPECT_FALSE(form->LimitCloseDue());
    EXPECT_EQ(boxes.boxes.size() + ras.hungUp.size(), 5u);
    EXPECT_TRUE(Protocol().contains("Maximum traffic is 0 MByte."));
}

// At most 5001 lines, the oldest dropped and the newest selected whatever was selected before.
TEST_F(WatchCycle, TheProtocolKeeps5001Lines)
{
    StartWindow();
    form->lbLog->clear();
    for (int i = 1; i <= 5002; ++i) {
        form->lbLog->setCurrentRow(0);
        form->AddProtocolLine("line %d", i);
    }
    EXPECT_EQ(form->lbLog->count(), 5001);
    EXPECT_EQ(form->lbLog->item(0)->text(), "line 2");
    EXPECT_EQ(form->lbLog->currentRow(), 5000);
}
