#pragma once

#include "TestEnvironment.h"
#include "app/Fmain.h"
#include "platform/FakeClock.h"
#include "platform/FakePause.h"
#include "platform/FakeRasApi.h"
#include "platform/FakeSystemTime.h"
#include "platform/HttpClient.h"
#include "platform/SntpClient.h"
#include "platform/RecordingTray.h"
#include "settings/RegVars.h"

#include <QLabel>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace test {

// A main window on a temporary store, a scripted link service and a settable clock. Its timer is
// stopped after construction: tests run the watch cycle themselves, one tick at a time.
class MainWindowFixture : public ::testing::Test {
protected:
    MainWindowFixture();
    ~MainWindowFixture() override;

    void StartWindow();
    // The same window on another link service, such as the kernel's.
    void StartWindow(platform::RasApi& links);
    void Tick(int times = 1);
    QStringList Protocol() const;
    // Protocol lines added since the last call.
    QStringList NewLines();
    // Connects the watched entry "dsl" with the given counters.
    FakeRasApi::Connection& ConnectLine(std::uint32_t received = 0, std::uint32_t transmitted = 0,
                                        std::uint32_t durationMs = 0);
    void SetLineCounters(std::uint32_t received, std::uint32_t transmitted,
                         std::uint32_t durationMs);
    void DropLine();

    TempStore store;
    std::unique_ptr<CRegVars> settings;
    FakeRasApi ras;
    FakeClock clock;
    // The network clients point at closed ports until a test starts servers for them.
    FakePause pause;
    FakeSystemTime systemTime;
    std::unique_ptr<platform::HttpClient> http =
        std::make_unique<platform::HttpClient>("https://127.0.0.1:9");
    std::unique_ptr<platform::SntpClient> sntp =
        std::make_unique<platform::SntpClient>(systemTime, 9);
    RecordingTray tray;
    std::unique_ptr<TFormMain> form;
    qsizetype seenLines = 0;
};

// Answers every message box that opens while the guard lives, recording caption and text.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    QStringList boxes; // "caption|text"
    // Called inside each box before it is closed.
    std::function<void()> whileOpen;
    bool answerYes = false;

private:
    void Poll();
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace test
