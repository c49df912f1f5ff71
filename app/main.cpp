#include "app/LinkChoice.h"
#include "app/ProgramStart.h"
#include "platform/Clock.h"
#include "platform/InstanceLock.h"
#include "platform/RegistryStore.h"
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
    return RunProgram(app, {{settings, *links, clock}, platform::defaultLockFile()});
}
