// The watch cycle: start, dialling, counting, the limit, redial and the protocol.
#include "app/MainWindowFixture.h"
#include "graph/HistoryDisplay.h"
#include "platform/DBusMock.h"
#include "settings/StoreRows.h"
#include "traffic/PackedDateTime.h"

#include <QPushButton>
#include <QRegularExpression>

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

// Auto-connect dials a line that is down; a session is counted from its first byte, only a
// direction that moved is written, its high word only when it changed; hang-up disarms redial even
// without a line; a new connection arms it with a line and starts its session at zero, whatever
// the counters of the last one were.
TEST_F(WatchCycle, StartDialCountHangUpAndRedial)
{
    clock.now = QDateTime(QDate(2026, 12, 6), QTime(20, 15, 31));
    settings->AutoConnect.Set(1);
    settings->KeepConnected.Set(1);
    settings->SumRXLo.Set(5000);
    ConnectLine(5000, 0, 0).state = 0x10; // still being dialled: down
    StartWindow();
    EXPECT_EQ(NewLines(),
              QStringList({"Saved the very first start time", "Monitoring RAS connection \"dsl\".",
                           "Maximum traffic is 1000 MByte.", "We are currently disconnected",
                           "It seems, that we are already connected."}));
    EXPECT_EQ(DateText(settings->LimitLastReset.Get()) + " " +
                  TimeText(settings->LimitLastReset.Get()),
              "06.12.2026 20:15:30");
    ras.connections.clear();
    Tick();
    EXPECT_EQ(Counters(*form), "- - - 5.000 5.000");
    ConnectLine(5000, 700, 1000);
    Tick();
    EXPECT_EQ(Counters(*form), "5.000 700 5.700 10.000 10.700");
    // A graph sample every second tick: kBit/s over the line's own time since the last, truncated.
    const auto newestSample = [&] {
        return std::pair(form->historyDisplay->HistoryRX().Recent(1),
                         form->historyDisplay->HistoryTX().Recent(1));
    };
    EXPECT_EQ(newestSample(), std::pair(40, 5));
    test::StartWriteLog(store.File());
    ConnectLine(8000, 700, 2000);
    Tick();
    EXPECT_EQ(test::TakeWriteLog(store.File()), Names{"SumRXLo"});
    EXPECT_EQ(CRegVars(store.File()).SumRXLo.Get(), 13000u);
    ras.Find("dsl")->state = 0x10; // redialled, not yet up
    form->HangUp();
    EXPECT_FALSE(form->IsKeepingConnection());
    ras.Find("dsl")->state = platform::RasConnectedState;
    ras.hangUpResult = 4294967295u;
    form->HangUp();
    ras.hangUpResult = 0;
    form->HangUp();
    EXPECT_EQ(ras.hungUp, (std::vector<platform::RasHandle>{7, 7}));
    Tick(2);
    EXPECT_EQ(Counters(*form), "- - - 13.000 13.700");
    EXPECT_EQ(newestSample(), std::pair(24, 0));
    ConnectLine(9000, 800, 3000);
    Tick();
    EXPECT_EQ(Counters(*form), "9.000 800 9.800 22.000 23.500");
    ras.dial = [](const char*, std::uint32_t& error) { return error = 678, false; };
    DropLine();
    Tick(2);
    form->HangUp();
    Tick();
    EXPECT_EQ(ras.dialled.size(), 2u);
    EXPECT_EQ(
        NewLines(),
        QStringList({Separator, "Now, we are connected", "Quillmar will keep the connection.",
                     "It seems, that we are already disconnected.",
                     "Error during closing the connection (Code 4294967295)",
                     "Connection closed successfully.", "Now, we are disconnected", Separator,
                     "Now, we are connected", "Quillmar will keep the connection.",
                     "Now, we are disconnected", "Dialing...", "Dialing error: 678", "Dialing...",
                     "Dialing error: 678", "It seems, that we are already disconnected."}));
    form->lbLog->clear(); // the protocol keeps 5001 lines at most, dropping the oldest
    for (int i = 1; i <= 5002; ++i)
        form->AddProtocolLine("line %d", i);
    EXPECT_EQ(QString("%1 %2").arg(form->lbLog->count()).arg(Protocol().first()), "5001 line 2");
}

// A later start counts from the start and arms redial silently. At the limit the line is closed
// once and not redialled; a hang-up refused for want of a right names it and is retried every tick
// with one box at a time. Dialling is refused at the limit only with closing at the limit on.
TEST_F(WatchCycle, AStartWhileConnectedUpToTheLimitAndBeyond)
{
    settings->OnLimitCloseConnection.Set(1);
    settings->OnLimitShowMessage.Set(0);
    settings->KeepConnected.Set(1);
    settings->SumRXLo.Set(99 * Percent - 1);
    settings->SumTXLo.Set(1);
    ConnectLine(90000, 4000, 60000);
    StartWindow();
    EXPECT_EQ(NewLines().back(), "We are currently connected");
    EXPECT_TRUE(form->IsKeepingConnection());
    ConnectLine(Percent + 90000, 4000, 61000);
    test::MessageBoxRecorder boxes;
    ras.hangUpResult = 1; // for want of rights
    int nested = 0;
    boxes.whileOpen = [&] {
        if (nested++ == 0)
            Tick(); // a nested tick while the limit box is open shows no second box
    };
    Tick();
    EXPECT_EQ(Counters(*form), "10.000.000 0 10.000.000 999.999.999 1.000.000.000");
    ras.hangUpResult = 0;
    Tick(3); // the box is closed again: the next tick may show it
    form->Dial();
    settings->OnLimitCloseConnection.Set(0);
    form->btConnect->click();
    EXPECT_EQ(ras.dialled, Names(1, "dsl"));
    EXPECT_EQ(boxes.boxes,
              QStringList(2, "Info|Traffic limit has been reached! Connection has been closed."));
    const QString closing = "Traffic limit has been reached. Closing connection...";
    const QString refused = "Error during closing the connection (Code 1)\nConnect and "
                            "Disconnect need rights: see \"Rights\" in the README, or "
                            "PERMISSIONS in quillmar(1).";
    EXPECT_EQ(
        NewLines().join('\n'),
        QStringList({closing, refused, closing, "Error during closing the connection (Code 1)",
                     closing, "Connection closed successfully.", "Now, we are disconnected",
                     "Traffic limit has already been reached.", "Dialing...", "Dialing successful"})
            .join('\n'));
}

// More than 4 GiB between two ticks (a stalled program) is counted in full, and the duration
// wraps past 2^32 ms; counters that went back while the entry stayed connected belong to a link
// made anew between two polls. The overall sum carries into the high word; a carry with its low
// half refused stores neither half, never a sum 4 GiB too large.
TEST_F(WatchCycle, CountersJumpGoBackAndCarry)
{
    settings->SumRXHi.Set(1);
    settings->SumRXLo.Set(4294964799u);
    ConnectLine(4294967000u, 4294967290u, 4294966000u);
    StartWindow();
    ConnectLine(8589936592u, 4294967300u, 704);
    Tick();
    ConnectLine(200, 3, 100);
    Tick();
    EXPECT_EQ(Counters(*form), "4.294.969.792 13 4.294.969.805 12.884.901.887 12.884.901.900");
    test::RefuseWritesOf(store.File(), "SumRXLo");
    form->UpdateCounters(1, 0, clock.now.date());
    const CRegVars stored(store.File());
    EXPECT_EQ(QString("%1 %2").arg(stored.SumRXHi.Get()).arg(stored.SumRXLo.Get()), "2 4294967295");
}

// One hint for the highest threshold crossed; none above the top one at start, but again after
// the total dropped; a nested tick inside the box does not repeat it; a zero limit never counts.
TEST_F(WatchCycle, LimitHints)
{
    // Total before and after the tick in per cent, hints on, a hint expected.
    const std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, bool> rows[] = {
        {69, 70, 1, true},  {89, 90, 1, true},  {97, 98, 1, true},  {70, 89, 1, false},
        {10, 69, 1, false}, {69, 71, 0, false}, {98, 120, 1, false}};
    test::MessageBoxRecorder boxes;
    for (const auto& [before, after, showMessage, hinted] : rows) {
        SCOPED_TRACE(testing::Message() << before << " " << after);
        form.reset();
        ras.connections.clear();
        settings->OnLimitShowMessage.Set(showMessage);
        settings->SumRXLo.Set(before * Percent);
        ConnectLine();
        StartWindow();
        ConnectLine((after - before) * Percent, 0, 1000);
        boxes.boxes.clear();
        Tick();
        const QString hint = QString("Traffic has now reached %1%.").arg(after);
        EXPECT_EQ(boxes.boxes, hinted ? QStringList("Info|" + hint) : QStringList());
        EXPECT_EQ(Protocol().filter("Traffic has now"), hinted ? QStringList(hint) : QStringList());
    }
    form->SetSumRX(69 * Percent);
    boxes.whileOpen = [&] {
        ConnectLine(24 * Percent + 5000, 0, 3000);
        Tick(); // the timer goes on behind the modal box
    };
    ConnectLine(24 * Percent, 0, 2000); // the line stood at 22 %
    Tick();
    EXPECT_EQ(boxes.boxes, QStringList("Info|Traffic has now reached 71%."));
    EXPECT_EQ(Protocol().filter("Traffic has now"), QStringList("Traffic has now reached 71%."));
    EXPECT_EQ(settings->SumRXLo.Get(), 71 * Percent + 5000);
    settings->TrafficLimit.Set(0);
    settings->OnLimitCloseConnection.Set(1);
    StartWindow();
    Tick();
    EXPECT_EQ(form->LimitPercent() + form->LimitCloseDue() + ras.hungUp.size(), 0u);
}

// Hints as desktop notifications: without a bus the box comes at once; with the service on the
// bus the hints and the limit's notice go there with the box's texts and no box opens, the
// limit's once each time the line is up at the limit; with the service gone from the bus the
// boxes come again, a moment later. The protocol says the same either way.
TEST_F(WatchCycle, HintsAsDesktopNotifications)
{
    settings->HintsAsNotifications.Set(1);
    settings->OnLimitCloseConnection.Set(1);
    ras.hangUpResult = 5; // the line stays up at the limit
    const auto rise = [&](std::uint32_t from, std::uint32_t by) {
        form->SetSumRX(from * Percent);
        ConnectLine(ras.Find("dsl")->stats.bytesReceived + by * Percent);
        Tick();
    };
    test::MessageBoxRecorder boxes;
    ConnectLine();
    StartWindow();
    rise(69, 1);
    EXPECT_EQ(boxes.boxes, QStringList("Info|Traffic has now reached 70%."));

    form.reset();
    test::DBusMock service("org.freedesktop.Notifications", "DBUS_SESSION_BUS_ADDRESS",
                           {"--template", "notification_daemon"});
    notifications = std::make_unique<platform::DesktopNotifications>(service.Bus());
    StartWindow();
    rise(69, 2);
    rise(71, 29);
    Tick();
    DropLine();
    Tick();
    ConnectLine();
    Tick(2);
    const QString limit = "Traffic limit has been reached! Connection has been closed.";
    QStringList sent;
    for (const QString& text :
         QStringList{"Traffic has now reached 71%.", "Traffic has now reached 100%.", limit, limit})
        sent << R"(Notify "Quillmar" 0 "org.quillmar.Quillmar" "Quillmar" ")" + text +
                    R"(" [] {"desktop-entry": "org.quillmar.Quillmar"} -1)";
    // Calls on one connection are answered in order: the service has seen all sent before.
    service.Call("/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                 "GetServerInformation");
    EXPECT_EQ(service.Log().filter(QRegularExpression("^Notify ")), sent);

    service.Signal(SIGKILL);
    rise(69, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.boxes.size() == 2; }));
    rise(100, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.boxes.size() == 3; }));
    EXPECT_EQ(boxes.boxes.mid(1),
              QStringList({"Info|Traffic has now reached 70%.", "Info|" + limit}));
    EXPECT_EQ(Protocol().filter("Traffic has now"),
              QStringList({"Traffic has now reached 71%.", "Traffic has now reached 100%.",
                           "Traffic has now reached 70%."}));
}

// The row comes from the line, the column from the limit share; the tray gets the icon only when
// it changed, and the tooltip likewise.
TEST_F(WatchCycle, TrayIconRowFromTheLineColumnFromTheShareAndTouchedOnlyOnChange)
{
    const auto icons = [this] {
        QStringList names;
        for (const std::int32_t share : {69, 70, 89, 90, 250})
            names << form->ChooseTrayIcon(share);
        return names.join(' ');
    };
    settings->TrafficLimit.Set(1); // 10,000 bytes a per cent
    settings->OnLimitShowMessage.Set(0);
    StartWindow();
    EXPECT_EQ(icons(), "Z_GREENOFF Z_YELLOWOFF Z_YELLOWOFF Z_REDOFF Z_REDOFF");
    ConnectLine();
    Tick(2);
    EXPECT_EQ(icons(), "Z_GREENON Z_YELLOWON Z_YELLOWON Z_REDON Z_REDON");
    ConnectLine(15000, 0, 2000);
    Tick(2);
    ConnectLine(700000, 0, 3000);
    Tick();
    form->TrayIconDelete();
    EXPECT_EQ(tray.calls,
              QStringList({"add Z_GREENOFF|Quillmar (0%)", "icon Z_GREENON", "tip Quillmar (1%)",
                           "icon Z_YELLOWON", "tip Quillmar (70%)", "delete"}));
    form.reset();
    settings->KeepConnected.Set(1);
    StartWindow();
    EXPECT_EQ(icons(), "Z_GREENKEEP Z_YELLOWKEEP Z_YELLOWKEEP Z_REDKEEP Z_REDKEEP");
}
