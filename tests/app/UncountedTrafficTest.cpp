// What the watched link carried while the program was not running, counted at its next start.
#include "app/MainWindowFixture.h"
#include "platform/links/kernel/KernelLinks.h"
#include "platform/links/kernel/NetNamespace.h"
#include "traffic/ByteFormat.h"
#include "traffic/PackedDateTime.h"

#include <fstream>

using UncountedTraffic = test::MainWindowFixture;

namespace {

QString CountedLine(const char* bytes)
{
    return QString("Counted %1 Bytes that crossed while Quillmar was not running.").arg(bytes);
}

} // namespace

// Bytes counted at start that carry the share past a hint and the limit bring the hint and the
// hang-up at the first tick, as a tick's own would. Once a period has ended meanwhile they belong
// to it, on the day of its last count, before the reset; after the reset nothing is counted twice,
// and what crosses after a reset just before an exit is counted at the next start.
TEST_F(UncountedTraffic, TheFirstTickHintsAndHangsUpAndAnEndedPeriodTakesThem)
{
    test::MessageBoxRecorder boxes;
    settings->TrafficLimit.Set(1); // 1,000,000 bytes
    settings->OnLimitCloseConnection.Set(1);
    settings->LimitAutoReset.Set(15);
    settings->LimitLastReset.Set(DateTimeToPacked(QDateTime(QDate(2026, 3, 20), QTime(9, 0))));
    // The link's own counters: namespace 5, index 7.
    const auto restart = [&](QDate day, std::uint64_t received, std::uint64_t transmitted) {
        form.reset();
        clock.now = QDateTime(day, QTime(22, 0));
        ConnectLine().identity = {5, 7, "ppp0", "", received, transmitted};
        StartWindow();
        NewLines();
    };
    restart(QDate(2026, 4, 13), 4000, 100);
    ConnectLine(600'000).identity.bytesReceived = 604'000;
    Tick(); // 60 %
    restart(QDate(2026, 4, 14), 1'004'000, 150);
    EXPECT_EQ(Protocol().back(), CountedLine("400.050"));
    Tick();
    EXPECT_EQ(boxes.boxes.front(), "Info|Traffic has now reached 100%.");
    EXPECT_EQ(NewLines().mid(0, 2), QStringList({"Traffic has now reached 100%.",
                                                 "Traffic limit has been reached. Closing "
                                                 "connection..."}));
    restart(QDate(2026, 4, 16), 1'004'300, 150);
    EXPECT_EQ(Protocol().back(), CountedLine("300"));
    Tick();
    const auto ended = settings->Registry.History()->periods();
    EXPECT_EQ(ended.back().received + ended.back().transmitted, 1'000'350u);
    EXPECT_EQ(settings->Registry.History()->days(QDate(2026, 4, 1), QDate(2026, 4, 30)),
              (std::vector<platform::UsageDay>{{"dsl", QDate(2026, 4, 13), 1'000'000, 50},
                                               {"dsl", QDate(2026, 4, 14), 300, 0}}));
    restart(QDate(2026, 4, 17), 1'004'300, 150);
    EXPECT_EQ(Protocol().filter("Counted"), QStringList());
    EXPECT_EQ(form->GetSumRX() + form->GetSumTX(), 0u);
    form->ResetTrafficCounter(DateTimeToPacked(clock.now)); // and no tick before the exit
    restart(QDate(2026, 4, 18), 1'004'500, 150);
    EXPECT_EQ(Protocol().back(), CountedLine("200"));
}

// On a real link, after Exit: what crossed while the program was down is counted to the byte, but
// not after another boot, nor on a link made anew under the same name, even one whose counters
// have passed the old one's.
TEST_F(UncountedTraffic, OnlyTheSameLinkOfTheSameBootIsCounted)
{
    if (!test::CanCreateNamespaces())
        GTEST_SKIP() << test::NamespaceRefusal();
    const test::Wan wan;
    wan.home.Enter();
    settings->Connection.Set("wan0");
    bootIdFile = store.Dir() / "boot_id";
    const auto kernel = [&] {
        const auto [rx, tx] = wan.Counted();
        return rx + tx;
    };
    std::optional<platform::KernelLinks> links;
    const auto start = [&](const char* boot) {
        std::ofstream(bootIdFile) << boot << '\n';
        links.emplace(); // a program's first look at the links
        StartWindow(*links);
        form->show();
    };
    start("d2a9b7c0-6f1e-4d3b-9a8c-5e4f3a2b1c0d");
    wan.SendOut(20, 1000), wan.SendIn(10, 1000);
    Tick();
    for (const auto& [boot, recreated, datagrams, counted] :
         {std::tuple("d2a9b7c0-6f1e-4d3b-9a8c-5e4f3a2b1c0d", false, 30, true),
          {"7e1f0c2d-3b4a-4c5d-8e9f-0a1b2c3d4e5f", false, 30, false},
          {"7e1f0c2d-3b4a-4c5d-8e9f-0a1b2c3d4e5f", true, 200, false}}) {
        test::MessageBoxRecorder quit;
        quit.answerYes = true;
        form->miExitClick();
        ASSERT_FALSE(form->isVisible());
        const std::uint64_t stored = form->GetSumRX() + form->GetSumTX();
        if (recreated)
            wan.home.Check("ip link del wan0"), wan.Connect();
        const std::uint64_t down = kernel();
        wan.SendOut(datagrams, 1200), wan.SendIn(datagrams, 900);
        const std::uint64_t crossed = kernel() - down;
        start(boot);
        EXPECT_EQ(Protocol().filter("Counted"),
                  counted ? QStringList(CountedLine(FormatBytes(crossed).c_str())) : QStringList());
        EXPECT_EQ(form->GetSumRX() + form->GetSumTX(), stored + (counted ? crossed : 0));
    }
}
