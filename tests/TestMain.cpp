#include "TestEnvironment.h"

#include <QApplication>
#include <gtest/gtest.h>

// Every test process chooses its own display, buses and folders. The tray tests get an X display
// and a session bus of their own from their launcher (tray/on-own-display); all others run
// offscreen without the desktop's display, and an ordinary user's in a user namespace of their
// own, entered before any thread starts.
int main(int argc, char** argv)
{
#ifdef QUILLMAR_TEST_OWN_DISPLAY
    const QByteArray session = qgetenv("DBUS_SESSION_BUS_ADDRESS");
#else
    test::EnterUserNamespace();
#endif
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen")
        qunsetenv("DISPLAY"), qunsetenv("WAYLAND_DISPLAY");
    QTemporaryDir home;
    test::IsolateUserFiles(home);
#ifdef QUILLMAR_TEST_OWN_DISPLAY
    qputenv("DBUS_SESSION_BUS_ADDRESS", session);
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
