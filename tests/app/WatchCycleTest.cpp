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
const QString Separator = "---------------------------------------------------";

// Session received, transmitted, sum; overall received and sum.
QString Counters(const TFormMain& form)
{
    return QStringList({form.stSessionRX->text(), form.stSessionTX->text(),
                        form.stSessionSum->text(), form.stSumRX->text(), form.stSum->text()})
        .join(' ');
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
    EXPECT_EQ(DateText(settings->LimitLastReset.Get()) + " " +
                  TimeText(settings->LimitLastReset.Get()),
              "06.12.2026 20:15:30");
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
    EXPECT_TRUE(form->IsConnected());
    EXPECT_TRUE(form->IsKeepingConnection());
    EXPECT_EQ(Counters(*form), "0 0 0 1.234.567 1.234.567");
    SetLineCounters(91000, 4500, 61000);
    Tick();
    EXPECT_EQ(Counters(*form), "1.000 500 1.500 1.235.567 1.236.067");
    EXPECT_EQ(Protocol().size(), 3);
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
    EXPECT_EQ(Protocol().mid(4), QStringList({Separator, "Now, we are connected"}));
    EXPECT_EQ(test::TakeWriteLog(store.File()),
              (Names{"SumRXHi", "SumRXLo", "SumTXHi", "SumTXLo"}));
    EXPECT_EQ(Counters(*form), "5.000 700 5.700 10.000 10.700");
    const std::pair<std::array<std::uint32_t, 2>, Names> steps[] = {
        {{8000, 700}, {"SumRXHi", "SumRXLo"}},
        {{8000, 720}, {"SumTXHi", "SumTXLo"}},
        {{8000, 720}, {}}};
    for (const auto& [counters, written] : steps) {
        SetLineCounters(counters[0], counters[1], 2000);
        Tick();
        EXPECT_EQ(test::TakeWriteLog(store.File()), written);
    }
    EXPECT_EQ(Counters(*form), "8.000 720 8.720 13.000 13.720");
    EXPECT_EQ(CRegVars(store.File()).SumTXLo.Get(), 720u);
    EXPECT_EQ(Protocol().size(), 6); // an established line says nothing more
    DropLine();
    Tick(2);
    EXPECT_EQ(test::TakeWriteLog(store.File()), Names{});
    EXPECT_EQ(Counters(*form), "- - - 13.000 13.720");
    EXPECT_EQ(Protocol().mid(6), QStringList("Now, we are disconnected"));
    ConnectLine(600, 0, 500);
    Tick();
    EXPECT_EQ(form->stSessionRX->text(), "600");
    EXPECT_EQ(settings->SumRXLo.Get(), 13600u);
}

// Past 2^32 the counters wrap; counters that went back while the entry stayed connected belong to
// a link made anew between two polls, and count their new values. The overall sum carries into
// the high word; a carry with its low half refused, as a kill between the two writes would leave
// it, stores neither half, never a sum 4 GiB too large.
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
        const char* samples; // count, newest received and transmitted in kBit/s
    } steps[] = {{2, 1000, 250, 1000, 1, "0 0 0"},      {2, 3000, 500, 3000, 1, "1 8 1"},
                 {2, 5000, 500, 4000, 1, "1 8 1"},      {2, 7000, 500, 5000, 1, "2 16 0"},
                 {1, 132000, 500, 6000, 1, "3 1000 0"}, {10, 132000, 500, 6000, 3, "3 1000 0"},
                 {2, 132000, 500, 6000, 1, "4 0 0"}};
    const auto samples = [this] {
        const auto& rx = form->historyDisplay->HistoryRX();
        return QString("%1 %2 %3")
            .arg(rx.Count())
            .arg(rx.Count() ? rx.Recent(1) : 0)
            .arg(rx.Count() ? form->historyDisplay->HistoryTX().Recent(1) : 0);
    };
    ConnectLine();
    StartWindow();
    for (const auto& step : steps) {
        settings->HistoryUpdateSpeed.Set(step.speed);
        SetLineCounters(step.rx, step.tx, step.ms);
        Tick(step.ticks);
        EXPECT_EQ(samples(), step.samples) << step.rx;
    }
    settings->HistoryUpdateSpeed.Set(1);
    SetLineCounters(140000, 9000, 7000);
    DropLine(); // lost before the tick: nothing of it reaches the graph
    Tick();
    EXPECT_EQ(samples(), "5 0 0");
    ConnectLine(500, 0, 0);
    Tick();
    EXPECT_EQ(samples(), "6 4000 0");
}

// Connected at start, redial is armed silently; a new connection arms it with a line; hang-up
// disarms it even without an established line, and logs its outcome.
TEST_F(WatchCycle, RedialArmedUntilHangUp)
{
    settings->KeepConnected.Set(1);
    ConnectLine();
    StartWindow();
    Tick();
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
    EXPECT_EQ(Protocol().mid(4), QStringList({"It seems, that we are already disconnected.",
                                              "Error during closing the connection (Code "
                                              "4294967295)",
                                              "Connection closed successfully."}));
    Tick();
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
    form->HangUp();
    Tick();
    EXPECT_EQ(ras.dialled.size(), 3u);
}

// The limit counts both directions and refuses only with closing at the limit on; a dial inside
// a running dial does nothing; buttons and both menus reach dial and hang-up.
TEST_F(WatchCycle, DialRefusalsFailuresAndTheWaysToIt)
{
    settings->SumRXLo.Set(999'999'999);
    settings->SumTXLo.Set(1);
    settings->OnLimitCloseConnection.Set(1);
    StartWindow();
    NewLines();
    form->Dial();
    EXPECT_EQ(NewLines(), QStringList("Traffic limit has already been reached."));
    settings->OnLimitCloseConnection.Set(0);
    for (const std::uint32_t code : {691u, 0u}) { // 0: cancelled by the user
        ras.dial = [code](const char*, std::uint32_t& error) {
            error = code;
            return false;
        };
        form->Dial();
        EXPECT_EQ(NewLines(), QStringList({"Dialing...", QString("Dialing error: %1").arg(code)}));
    }
    ras.dial = [&](const char* entry, std::uint32_t&) {
        form->Dial(); // the redial of a nested tick, or a click on Connect
        form->btConnect->click();
        ras.Add(entry, 7);
        return true;
    };
    form->Dial();
    EXPECT_EQ(NewLines(), QStringList({"Dialing...", "Dialing successful"}));
    DropLine();
    ras.dial = nullptr;
    form->btConnect->click();      // the guard is released afterwards
    ras.Find("dsl")->state = 0x10; // being dialled by another program
    form->findChild<QAction*>("mimConnect")->trigger();
    form->findChild<QAction*>("miConnect")->trigger();
    EXPECT_EQ(ras.dialled, Names(4, "dsl"));
    form->btDisconnect->click();
    form->findChild<QAction*>("mimDisconnect")->trigger();
    form->findChild<QAction*>("miDisconnect")->trigger();
    EXPECT_TRUE(ras.hungUp.empty());
    EXPECT_EQ(NewLines(), QStringList({"Dialing...", "Dialing successful"}) +
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
    ASSERT_TRUE(form->IsKeepingConnection());
    SetLineCounters(Percent, 0, 1000);
    test::MessageBoxRecorder boxes;
    ras.hangUpResult = 5;
    int nested = 0;
    boxes.whileOpen = [&] {
        if (nested++ == 0)
            Tick(); // a nested tick while the limit box is open shows no second box
    };
    Tick();
    EXPECT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(Protocol().count("Traffic limit has been reached. Closing connection..."), 2);
    EXPECT_EQ(Protocol().count("Error during closing the connection (Code 5)"), 2);
    ras.hangUpResult = 0;
    Tick(); // the box is closed again: the next tick may show it
    EXPECT_EQ(Protocol().mid(Protocol().size() - 2),
              QStringList({"Traffic limit has been reached. Closing connection...",
                           "Connection closed successfully."}));
    EXPECT_EQ(boxes.boxes,
              QStringList(2, "Info|Traffic limit has been reached! Connection has been closed."));
    EXPECT_FALSE(form->IsKeepingConnection());
    Tick(2);
    EXPECT_EQ(Protocol().back(), "Now, we are disconnected");
    EXPECT_TRUE(ras.dialled.empty());

    // A zero limit from the store never blocks the cycle.
    form.reset();
    settings->TrafficLimit.Set(0);
    settings->SumRXHi.Set(7);
    ConnectLine(1000, 0, 1000);
    StartWindow();
    SetLineCounters(2000, 0, 2000);
    Tick(3);
    EXPECT_EQ(form->LimitPercent(), 0);
    EXPECT_FALSE(form->LimitCloseDue());
    EXPECT_TRUE(form->IsConnected());
    EXPECT_EQ(boxes.boxes.size(), 2);
    EXPECT_EQ(ras.hungUp.size(), 3u);
    EXPECT_TRUE(Protocol().contains("Maximum traffic is 0 MByte."));
}

// At most 5001 lines, the oldest dropped and the newest selected whatever was selected before;
// printf formats, and outside text shown unchanged and never cut.
TEST_F(WatchCycle, TheProtocol)
{
    StartWindow();
    form->lbLog->clear();
    for (int i = 1; i <= 5001; ++i)
        form->AddProtocolLine("line %d", i);
    EXPECT_EQ(form->lbLog->item(0)->text(), "line 1");
    form->AddProtocolLine("line %d", 5002);
    form->lbLog->setCurrentRow(0);
    form->AddProtocolLine("Traffic has now reached %d%%, error %u", 70, 4294967295u);
    form->AddProtocolLine("DynDNS Update: %s", "good 10.0.0.1 100% %s %n");
    form->AddProtocolLine("%s", std::string(10000, 'x').c_str());
    EXPECT_EQ(form->lbLog->count(), 5001);
    EXPECT_EQ(form->lbLog->item(0)->text(), "line 5");
    EXPECT_EQ(form->lbLog->item(5000), form->lbLog->currentItem());
    EXPECT_TRUE(form->lbLog->currentItem()->isSelected());
    EXPECT_EQ(Protocol().mid(4998, 2), QStringList({"Traffic has now reached 70%, error 4294967295",
                                                    "DynDNS Update: good 10.0.0.1 100% %s %n"}));
    EXPECT_EQ(Protocol().back().size(), 10000);
}
