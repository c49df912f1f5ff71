#pragma once

#include "TestEnvironment.h"
#include "app/CounterLabel.h"
#include "app/Fmain.h"
#include "platform/desktop/DesktopNotifications.h"
#include "platform/desktop/FakeClock.h"
#include "platform/desktop/RecordingTray.h"
#include "platform/links/FakeRasApi.h"
#include "platform/net/FakePause.h"
#include "platform/net/FakeSystemTime.h"
#include "platform/net/HttpClient.h"
#include "platform/net/SntpClient.h"
#include "settings/RegVars.h"

#include <QLabel>
#include <QListWidget>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace test {

// A main window watching the entry "dsl" on a temporary store, a scripted link service, a
// settable clock, and network clients pointed at closed ports until a test starts servers for
// them. Its timer is stopped after construction: tests run the watch cycle one tick at a time.
class MainWindowFixture : public ::testing::Test {
protected:
    MainWindowFixture()
    {
        settings->Connection.Set("dsl");
        settings->InfoShown.Set(1); // the first tick's information box only where a test asks
    }

    FormMainServices Services(platform::RasApi& links)
    {
        return {*settings, links,      clock,          *http,     *sntp,
                pause,     *trayInUse, *notifications, bootIdFile};
    }
    void StartWindow() { StartWindow(ras); }
    // The same window on another link service, such as the kernel's.
    void StartWindow(platform::RasApi& links)
    {
        form = std::make_unique<TFormMain>(Services(links));
        // Watching begins once the link service knows which lines are up.
        EXPECT_TRUE(QTest::qWaitFor([this] { return form->WatchTimer->isActive(); }));
        form->WatchTimer->stop();
    }
    void Tick(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            form->WatchTimerTimer();
    }
    QStringList Protocol() const
    {
        QStringList lines;
        for (int i = 0; i < form->lbLog->count(); ++i)
            lines << form->lbLog->item(i)->text();
        return lines;
    }
    // Protocol lines added since the last call.
    QStringList NewLines()
    {
        const qsizetype seen = std::exchange(seenLines, form->lbLog->count());
        return Protocol().mid(seen);
    }
    // Connects the watched entry "dsl", or sets the counters of its line.
    FakeRasApi::Connection& ConnectLine(std::uint64_t received = 0, std::uint64_t transmitted = 0,
                                        std::uint32_t durationMs = 0)
    {
        FakeRasApi::Connection& line = ras.Find("dsl") ? *ras.Find("dsl") : ras.Add("dsl", 7);
        line.stats = {received, transmitted, durationMs};
        return line;
    }
    void DropLine()
    {
        std::erase_if(ras.connections, [](const auto& line) { return line.entry == "dsl"; });
    }

    TempStore store;
    std::unique_ptr<CRegVars> settings = std::make_unique<CRegVars>(store.File());
    FakeRasApi ras;
    FakeClock clock;
    FakePause pause;
    FakeSystemTime systemTime;
    std::unique_ptr<platform::HttpClient> http =
        std::make_unique<platform::HttpClient>("127.0.0.1:9");
    std::unique_ptr<platform::SntpClient> sntp =
        std::make_unique<platform::SntpClient>(systemTime, 9);
    RecordingTray tray;
    platform::Tray* trayInUse = &tray; // a real one where a test puts it
    // On no bus at all, unless a test hands it one with a notification service.
    std::unique_ptr<platform::DesktopNotifications> notifications =
        std::make_unique<platform::DesktopNotifications>(QDBusConnection(QString()));
    std::filesystem::path bootIdFile = platform::BootIdFile;
    std::unique_ptr<TFormMain> form;
    qsizetype seenLines = 0;
};

// Answers every message box that opens while the guard lives, recording caption and text.
class MessageBoxRecorder {
public:
    MessageBoxRecorder() { Poll(); }
    ~MessageBoxRecorder() { *alive_ = false; }
    QStringList boxes; // "caption|text"
    // Called inside each box before it is closed.
    std::function<void()> whileOpen;
    bool answerYes = false;

private:
    void Poll();
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace test
