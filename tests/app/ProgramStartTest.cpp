#include "app/ProgramStart.h"

#include "app/MainWindowFixture.h"
#include "platform/store/InstanceLock.h"
#include "settings/Foptions.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <stdexcept>

namespace {

class ProgramStart : public test::MainWindowFixture {
protected:
    // Runs the program until its event loop is idle, noting each main window as shown or hidden
    // and any settings dialog built.
    int RunUntilIdle()
    {
        QTimer::singleShot(50, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (qobject_cast<TFormMain*>(widget))
                    windows += widget->isVisible() ? "shown " : "hidden ";
                else if (qobject_cast<TFormOptions*>(widget))
                    windows += "settings ";
            QApplication::quit();
        });
        return RunProgram(*qApp, {Services(ras), lockFile});
    }

    std::filesystem::path lockFile = store.Dir() / "Quillmar.lock";
    QString windows;
};

struct ThrowingRas final : test::FakeRasApi {
    std::uint32_t EnumConnections(std::span<platform::RasConnection>, std::size_t&) override
    {
        throw std::runtime_error("the link service is gone");
    }
};

} // namespace

// The main window is shown unless started minimised into a tray; a lock that cannot be taken and
// a failure during start-up each give their box; the result is always zero.
TEST_F(ProgramStart, ShowsTheWindowOrTheReasonWhyNotAndReturnsZero)
{
    EXPECT_EQ(RunUntilIdle(), 0);
    EXPECT_EQ(QApplication::applicationName() + " " + QGuiApplication::desktopFileName(),
              "Quillmar org.quillmar.Quillmar");
    settings->StartMinimized.Set(1);
    EXPECT_EQ(RunUntilIdle(), 0);
    tray.available = false; // hidden without a tray, the window could never come back
    EXPECT_EQ(RunUntilIdle(), 0);
    EXPECT_EQ(windows, "shown hidden shown ");

    test::MessageBoxRecorder boxes;
    ThrowingRas broken; // stands for any failure during start-up
    EXPECT_EQ(RunProgram(*qApp, {Services(broken), lockFile}), 0);
    lockFile = store.Dir() / "no such folder" / "Quillmar.lock";
    EXPECT_EQ(RunProgram(*qApp, {Services(ras), lockFile}), 0);
    EXPECT_EQ(boxes.boxes, QStringList({"Quillmar|the link service is gone",
                                        "Info|Failed to run Quillmar for a unknown reason. Maybe, "
                                        "the program is already running."}));

    // A store that cannot be used: the program runs on its defaults and says so first; with no
    // connection chosen, it says where to choose one last.
    const auto blocked = store.Dir() / "blocked";
    std::ofstream(blocked) << "a file where the folder should be";
    settings = std::make_unique<CRegVars>(blocked / "registry.sqlite3");
    StartWindow();
    EXPECT_EQ(Protocol().first().toStdString(),
              "Counts and settings will not be saved: the settings folder " + blocked.string() +
                  " is not a folder");
    EXPECT_EQ(Protocol().last(), "Choose the connection to watch under Settings, Connection.");
}

// The lock lies beside the store, in the user's own folder, whatever the runtime folder says: a
// copy started with another one, or none (as `su -` or cron start it), meets the same lock.
TEST_F(ProgramStart, ASecondCopyOfTheSameStoreIsRefusedWhileTheFirstRuns)
{
    const auto realStore =
        std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "Quillmar" / "registry.sqlite3";
    lockFile = platform::LockFileBeside(realStore); // where the real program takes it
    QProcess first;
    const QTemporaryDir otherRuntime;
    QProcessEnvironment elsewhere = QProcessEnvironment::systemEnvironment();
    elsewhere.insert("XDG_RUNTIME_DIR", otherRuntime.path());
    first.setProcessEnvironment(elsewhere);
    first.start(QUILLMAR_BINARY, {});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { // the real program holds the lock
            return platform::InstanceLock(lockFile).result() ==
                   platform::InstanceLock::Result::AlreadyHeld;
        },
        10000));

    test::MessageBoxRecorder boxes;
    EXPECT_EQ(RunProgram(*qApp, {Services(ras), lockFile}), 0);
    EXPECT_EQ(
        boxes.boxes.join('\n').toStdString(),
        "Info|Quillmar is already running. Take a look into the system tray!|Its settings are "
        "in use: " +
            lockFile.string() + " is locked.");
    EXPECT_EQ(windows, "");
    first.kill(); // SIGKILL: the kernel releases the lock
    first.waitForFinished();
    EXPECT_EQ(RunUntilIdle(), 0);
    EXPECT_EQ(windows, "shown ");
}

// The real program asked on its command line. No answer and no fault needs a display (none is
// given here, so starting the toolkit would abort), the toolkit's own options are passed over;
// no answer starts a window or touches the store or the lock, and a query without a store ends
// with exit status 1.
TEST(ProgramCommandLine, IsAnsweredWithoutAWindowTheStoreOrTheLock)
{
    const QString usage = "usage: quillmar [--help] [--version] [--links=kernel|networkmanager]\n"
                          "                [--status [--json]] [--history --csv]\n";
    const QString noStore =
        "quillmar: no traffic counted yet: HOME/Quillmar/registry.sqlite3 does not exist\n";
    const QString ask = "quillmar: ask either --status [--json] or --history --csv\n" + usage;
    const QString version = QString("Quillmar 1.05\nQt %1\n").arg(qVersion());
    // Arguments, exit code, and the start of standard output, or of standard error for a fault.
    const std::tuple<QStringList, int, QString> rows[] = {
        {{"--version"}, 0, version},
        {{"--help"}, 0, usage + "\nWatches one network connection"},
        {{"--bogus"}, 2, "quillmar: unknown option '--bogus'\n" + usage},
        {{"-platform", "offscreen", "-x"}, 2, "quillmar: unknown option '-x'\n" + usage},
        {{"--links"}, 2, "quillmar: missing value after '--links'\n" + usage},
        {{"--links=nm"}, 2, "quillmar: unknown link service 'nm'\n" + usage},
        {{"ppp0"}, 2, "quillmar: unexpected argument 'ppp0'\n" + usage},
        {{"--status"}, 1, noStore},
        {{"--history", "--csv"}, 1, noStore},
        {{"-style", "Fusion", "--json"}, 2, ask},
        {{"--status", "--history", "--csv"}, 2, ask},
    };
    for (const auto& [arguments, exitCode, expected] : rows) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const QTemporaryDir home;
        QProcess program;
        program.start("env", QStringList({"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
                                          "QT_QPA_PLATFORM=xcb", "XDG_CONFIG_HOME=" + home.path(),
                                          "XDG_RUNTIME_DIR=" + home.path(), QUILLMAR_BINARY}) +
                                 arguments);
        EXPECT_TRUE(program.waitForFinished(10000)); // else killed as it goes
        EXPECT_EQ(program.exitCode(), exitCode);
        const QString output = QString::fromLocal8Bit(exitCode ? program.readAllStandardError()
                                                               : program.readAllStandardOutput());
        const QString start = QString(expected).replace("HOME", home.path());
        EXPECT_EQ(output.left(start.size()), start);
        EXPECT_TRUE(QDir(home.path()).isEmpty());
    }
}
