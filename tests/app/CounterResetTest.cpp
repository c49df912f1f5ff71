// Ending an accounting period: the traffic log, the counters, the new period, the monthly reset.
#include "app/MainWindowFixture.h"
#include "settings/StoreRows.h"
#include "traffic/PackedDateTime.h"

#include <QAction>
#include <QFile>
#include <QGroupBox>

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
// second and a count longer than its field are written as they are; a log that cannot be written
// loses only its record; a store write that fails leaves no half reset.
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
    form->UpdateCounters(0, 0);
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

    fs::remove("Quillmar.log");
    fs::create_directory("Quillmar.log");
    form->SetSumRX(5000);
    form->ResetTrafficCounter(DateTimeToPacked(clock.now.addDays(1)));
    EXPECT_EQ(CRegVars(store.File()).SumRXLo.Get(), 0u);
    EXPECT_EQ(form->gbTrafficOverall->title(), "Traffic since 07.12.2026");
    EXPECT_EQ(Protocol().count(ResetLine), 3);
    form->SetSumRX(5000);
    form->SetSumTX(7000);
    test::RefuseWritesOf(store.File(), "SumTXLo");
    form->ResetTrafficCounter(DateTimeToPacked(clock.now));
    const CRegVars stored(store.File());
    EXPECT_EQ(stored.SumRXLo.Get() + stored.SumTXLo.Get(), 12000u);
}

TEST_F(CounterReset, MonthlyOnTheDayOfTheRuleOncePerPeriod)
{
    settings->LimitAutoReset.Set(15);
    settings->LimitLastReset.Set(DateTimeToPacked(QDateTime(QDate(2026, 3, 20), QTime(9, 0))));
    clock.now = QDateTime(QDate(2026, 4, 14), QTime(23, 59, 58));
    ConnectLine();
    StartWindow();
    Tick(); // not yet
    EXPECT_EQ(Protocol().count(ResetLine), 0);
    clock.now = QDateTime(QDate(2026, 4, 15), QTime(10, 0));
    Tick();
    EXPECT_EQ(Protocol().count(ResetLine), 1);
    EXPECT_TRUE(FileBytes("Quillmar.log")
                    .startsWith("Traffic from 20.03.2026, 09:00:00 to 15.04.2026, 10:00:00\r\n"));
    clock.now = clock.now.addDays(1);
    Tick(2);
    EXPECT_EQ(Protocol().count(ResetLine), 1);
    clock.now = QDateTime(QDate(2026, 5, 15), QTime(0, 0));
    Tick();
    EXPECT_EQ(Protocol().count(ResetLine), 2);
}

} // namespace
