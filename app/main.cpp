#include "app/ProgramStart.h"
#include "platform/Clock.h"
#include "platform/InstanceLock.h"
#include "platform/KernelLinks.h"
#include "platform/RegistryStore.h"
#include "platform/SystemTray.h"
#include "settings/RegVars.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // The settings are read before anything else, so every part of the program sees them.
    CRegVars settings(platform::defaultRegistryFile());
    QApplication app(argc, argv);
    platform::KernelLinks links;
    const platform::SystemClock clock;
    platform::SystemTray tray;
    return RunProgram(app, {{settings, links, clock, tray}, platform::defaultLockFile()});
}
