#include "app/LinkChoice.h"
#include "app/ProgramStart.h"
#include "net/DynDnsRequest.h"
#include "platform/Clock.h"
#include "platform/HttpClient.h"
#include "platform/InstanceLock.h"
#include "platform/Pause.h"
#include "platform/RegistryStore.h"
#include "platform/SntpClient.h"
#include "platform/SystemTime.h"
#include "platform/SystemTray.h"
#include "settings/RegVars.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    // The settings are read before anything else, so every part of the program sees them.
    CRegVars settings(platform::defaultRegistryFile());
    QApplication app(argc, argv);
    const auto links = ChooseLinks(app.arguments(), QDBusConnection::systemBus());
    if (!links) {
        std::fputs("usage: quillmar [--links=kernel|networkmanager]\n", stderr);
        return 2;
    }
    const platform::SystemClock clock;
    platform::SystemTray tray;
    platform::HttpClient http(net::DynDnsServer);
    platform::RealtimeClock systemTime;
    platform::SntpClient sntp(systemTime);
    platform::ThreadPause pause;
    return RunProgram(
        app, {{settings, *links, clock, http, sntp, pause, tray}, platform::defaultLockFile()});
}
