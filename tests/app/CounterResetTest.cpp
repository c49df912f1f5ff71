// Ending an accounting period: the traffic log, the counters, the new period, the monthly reset.
#include "app/MainWindowFixture.h"
#include "platform/store/UsageHistory.h"
#include "settings/StoreRows.h"
#include "traffic/PackedDateTime.h"
#include "traffic/TrafficLog.h"

#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// The log goes to the working directory, which is each test process's own (TestMain).
using CounterReset = test::MainWindowFixture;
QByteArray FileBytes(const char* name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
const QString ResetLine = "The traffic counter has been reset.";

// No leaves everything; yes ends the period at the answer, the session counting on. Two in one
// second and a count longer than its field are written as they are; a store write that fails
// leaves no half reset, and the period's record, which the store could not keep, is written at
// once.
TEST_F(CounterReset, NoLeavesEverythingAndYesEndsThePeriodAtTheAnswer)
{
    settings->LimitLastReset.Set(DateTimeToPacked(QDateTime(QDate(2026, 11, 1), QTime(8, 0))));
    settings->SumRXLo.Set(1'234'067);
    settings->SumTXLo.Set(69);
    ConnectLine(1000, 0, 1000);
    StartWindow();
    ConnectLine(1500, 20, 2000);
    Tick(); // session 500 and 20, overall 1.234.567 and 89
    QAction* reset = form->findChild<QAction*>("mimResetTrafficCounter");
    test::MessageBoxRecorder boxes;
    test::StartWriteLog(store.File());
    reset->trigger();
    EXPECT_EQ(boxes.boxes, QStringList("Request|Do you really want to reset the traffic counter?"));
    EXPECT_EQ(form->stSumRX->text() + (fs::exists("Quillmar.log") ? " log" : ""), "1.234.567");
    boxes.answerYes = true;
    boxes.whileOpen = [&] { clock.now = clock.now.addSecs(90); };
    reset->trigger();
    EXPECT_EQ(test::TakeWriteLog(store.File()),
              (Names{"SumRXHi", "SumRXLo", "SumTXHi", "SumTXLo", "LimitLastReset"}));
    EXPECT_EQ(TimeText(CRegVars(store.File()).LimitLastReset.Get()), "20:17:00");
    EXPECT_EQ(form->stSumRX->text() + form->stSumTX->text() + form->stSum->text() + " " +
                  form->stSessionRX->text() + " " + form->gbTrafficOverall->title(),
              "000 500 Traffic since 06.12.2026");
    EXPECT_EQ(Protocol().back(), ResetLine);
    ConnectLine(2500, 20, 3000);
    Tick();
    EXPECT_EQ(form->GetSumRX() + form->GetSumTX(), 1000u);
    form->SetSumRX(1'000'000'000'000'000'000);
    form->SetSumTX(0);
    form->UpdateCounters(0, 0, clock.now.date());
    form->ResetTrafficCounter(DateTimeToPacked(clock.now));
    EXPECT_EQ(FileBytes("Quillmar.log"),
              "Traffic from 01.11.2026, 08:00:00 to 06.12.2026, 20:17:00\r\n"
              "  Received:            1.234.567 Bytes\r\n"
              "  Transmitted:                89 Bytes\r\n"
              "  Sum:                 1.234.656 Bytes\r\n"
              "\r\n"
              "Traffic from 06.12.2026, 20:17:00 to 06.12.2026, 20:17:00\r\n"
              "  Received:    1.000.000.000.000.000.000 Bytes\r\n"
              "  Transmitted:                 0 Bytes\r\n"
              "  Sum:         1.000.000.000.000.000.000 Bytes\r\n"
              "\r\n");

    form->SetSumRX(5000);
    form->SetSumTX(7000);
    test::RefuseWritesOf(store.File(), "SumTXLo");
    form->ResetTrafficCounter(DateTimeToPacked(clock.now));
    EXPECT_TRUE(
        FileBytes("Quillmar.log").endsWith("  Sum:                    12.000 Bytes\r\n\r\n"));
    const CRegVars stored(store.File());
    EXPECT_EQ(stored.SumRXLo.Get() + stored.SumTXLo.Get(), 12000u);
}

// Counting across a day boundary and across the period boundary of the monthly reset: every
// tick's bytes, sent ones only too, land in the day they were counted on, and the days add up to
// the periods.
TEST_F(CounterReset, MonthlyOnTheDayOfTheRuleOncePerPeriod)
{
    settings->LimitAutoReset.Set(15);
    settings->LimitLastReset.Set(DateTimeToPacked(QDateTime(QDate(2026, 3, 20), QTime(9, 0))));
    clock.now = QDateTime(QDate(2026, 4, 14), QTime(23, 59, 58));
    ConnectLine();
    StartWindow();
    ConnectLine(100, 10);
    Tick(); // not yet
    EXPECT_EQ(Protocol().count(ResetLine), 0);
    clock.now = QDateTime(QDate(2026, 4, 15), QTime(10, 0));
    ConnectLine(300, 30);
    Tick();
    EXPECT_EQ(Protocol().count(ResetLine), 1);
    EXPECT_TRUE(FileBytes("Quillmar.log")
                    .startsWith("Traffic from 20.03.2026, 09:00:00 to 15.04.2026, 10:00:00\r\n"));
    clock.now = clock.now.addDays(1);
    ConnectLine(300, 70); // sent only
    Tick(2);
    EXPECT_EQ(Protocol().count(ResetLine), 1);
    clock.now = QDateTime(QDate(2026, 5, 15), QTime(0, 0));
    ConnectLine(1000, 100);
    Tick();
    EXPECT_EQ(Protocol().count(ResetLine), 2);
    EXPECT_EQ(settings->Registry.History()->days(QDate(2026, 4, 1), QDate(2026, 5, 31)),
              (std::vector<platform::UsageDay>{{"dsl", QDate(2026, 4, 14), 100, 10},
                                               {"dsl", QDate(2026, 4, 15), 200, 20},
                                               {"dsl", QDate(2026, 4, 16), 0, 40},
                                               {"dsl", QDate(2026, 5, 15), 700, 30}}));
    const auto ended = settings->Registry.History()->periods();
    EXPECT_EQ(std::tuple(ended.size(), ended[0].received, ended[1].transmitted, ended[1].start,
                         ended[1].logged),
              std::tuple(2u, 300u, 70u, ended[0].end, true));
}

// A log that cannot be written stops no reset: the period waits in the store, the protocol says
// why once a run, and once the obstacle is gone the next start, or the next reset, writes every
// waiting record exactly once, oldest first. Nothing goes through a link, into a FIFO, or half
// into a full disk. The mounts stay in a namespace of this thread's own.
TEST_F(CounterReset, ARecordThatCannotBeWrittenWaitsInTheStore)
{
    const bool ownMounts = ::unshare(CLONE_NEWNS) == 0 &&
                           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    const std::string noMounts = std::strerror(errno);
    const auto shell = [work = fs::current_path()](const char* command) {
        EXPECT_EQ(test::Shell(work, command), "0");
        fs::current_path(work); // into a folder just mounted, or out of it
    };
    // What makes the obstacle, its reason, what removes it, whether a reader holds the FIFO, and
    // how many bytes the log held before.
    const std::tuple<const char*, const char*, const char*, bool, int> obstacles[] = {
        {"mkdir Quillmar.log", "Is a directory", "rmdir Quillmar.log", false, 0},
        {"mkfifo Quillmar.log", "Not a regular file", "rm Quillmar.log", false, 0},
        {"mkfifo Quillmar.log", "Not a regular file", "rm Quillmar.log", true, 0},
        {"echo theirs >t && ln -s t Quillmar.log", "Is a symbolic link",
         "rm Quillmar.log && [ \"$(cat t)\" = theirs ] && rm t", false, 0},
        {"mount --bind . . && mount -o remount,bind,ro .", "Read-only file system", "umount -l .",
         false, 0},
        {"mount -t tmpfs -o size=8k tmpfs . && cd \"$PWD\" && head -c 4096 /dev/zero >t && "
         "printf %4000s >Quillmar.log",
         "No space left on device", "rm t", false, 4000}};
    int row = 0;
    for (const auto& [make, reason, remove, reader, filled] : obstacles) {
        SCOPED_TRACE(make);
        if (!ownMounts && QByteArray(make).startsWith("mount"))
            continue;
        shell(make);
        const int fifo = reader ? ::open("Quillmar.log", O_RDONLY | O_NONBLOCK) : -1;
        char written = 0;
        StartWindow();
        const auto before = std::int64_t(settings->Registry.History()->periods().size());
        for (const int day : {1, 2}) {
            form->SetSumRX(day);
            form->ResetTrafficCounter(DateTimeToPacked(clock.now.addDays(day)));
        }
        EXPECT_EQ(Protocol().filter("Quillmar.log").join('|'),
                  QString("Could not write the period's record to \"Quillmar.log\" (%1); it is "
                          "kept and written later.")
                      .arg(reason));
        EXPECT_EQ(std::tuple(settings->Registry.History()->periods(true).size(),
                             CRegVars(store.File()).SumRXLo.Get(), ::read(fifo, &written, 1) <= 0),
                  std::tuple(2u, 0u, true));
        ::close(fifo);
        shell(remove);
        row++ % 2 ? form->ResetTrafficCounter(DateTimeToPacked(clock.now.addDays(3)))
                  : StartWindow();
        QByteArray records(filled, ' ');
        for (const auto& period : settings->Registry.History()->periods())
            if (period.id > before)
                records += TrafficLogRecord(period.start, period.end, period.received, 0);
        EXPECT_EQ(std::tuple(FileBytes("Quillmar.log").toStdString(),
                             settings->Registry.History()->periods(true).size()),
                  std::tuple(records.toStdString(), 0u));
        shell("rm Quillmar.log; umount -l . 2>/dev/null; true");
    }
    if (!ownMounts)
        GTEST_SKIP() << "a read-only folder and a full disk need mounts of the test's own: "
                     << noMounts << ". " << test::NamespaceRefusal();
}

} // namespace
