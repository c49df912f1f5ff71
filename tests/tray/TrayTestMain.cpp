// The tray tests run on a real X display with a tray host: each test process starts an Xvfb and
// a session bus of its own, so that tests never share a tray, and each can choose its host before
// the first icon is made.
#include "TestEnvironment.h"

#include <QApplication>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>

namespace {

// Starts `program` and returns the first line it prints, which says where to reach it. The
// program ends with this process, also when a test crashes it.
QByteArray StartAndRead(QProcess& process, const QString& program, const QStringList& arguments)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process.start(program, arguments);
    if (!process.waitForReadyRead(10000))
        qFatal("%s did not start", qPrintable(program));
    return process.readLine().trimmed();
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    QTemporaryDir home;
    test::IsolateUserFiles(home);
    QProcess display;
    qputenv("DISPLAY", ":" + StartAndRead(display, "Xvfb",
                                          {"-displayfd", "1", "-screen", "0", "800x600x24",
                                           "-nolisten", "tcp"}));
    QProcess bus;
    qputenv("DBUS_SESSION_BUS_ADDRESS",
            StartAndRead(bus, "dbus-daemon", {"--session", "--nofork", "--print-address=1"}));
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    } // gone before its display
    for (QProcess* process : {&bus, &display}) {
        process->terminate();
        process->waitForFinished();
    }
    return result;
}
