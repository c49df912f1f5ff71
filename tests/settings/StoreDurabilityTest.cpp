#include "TestEnvironment.h"
#include "settings/RegVars.h"
#include "settings/StoreRows.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <random>

// A writer killed with SIGKILL at random moments never leaves a store that fails to open or to
// pass its integrity check, and the store holds one of the last values the writer committed.
TEST(SettingsStoreDurability, SurvivesSigkillAtRandomMoments)
{
    test::TempStore store;
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> pauseMs(5, 120);
    std::uint32_t lastSeen = 0;

    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        QProcess writer;
        writer.start(QUILLMAR_STORE_WRITER, {QString::fromStdString(store.File().string())});
        ASSERT_TRUE(writer.waitForStarted());
        ASSERT_TRUE(writer.waitForReadyRead(5000));
        writer.waitForFinished(pauseMs(random)); // the writer never finishes: this is the pause
        writer.kill();
        ASSERT_TRUE(writer.waitForFinished(5000));

        const QList<QByteArray> printed = writer.readAllStandardOutput().trimmed().split('\n');
        const std::uint32_t lastPrinted = printed.back().toUInt();
        ASSERT_GT(lastPrinted, lastSeen);

        ASSERT_EQ(test::IntegrityCheck(store.File()), "ok");
        CRegVars vars(store.File());
        ASSERT_TRUE(vars.Registry.IsOpen());
        // The value after the last printed one may have been committed just before the kill.
        EXPECT_GE(vars.SumRXLo.Get(), lastPrinted);
        EXPECT_LE(vars.SumRXLo.Get(), lastPrinted + 1);
        EXPECT_GE(vars.SumRXHi.Get(), vars.SumRXLo.Get()); // Hi is always written first
        lastSeen = vars.SumRXLo.Get();
    }
}
