#include "app/CommandLine.h"
#include "app/LinkChoice.h"
#include "app/ProgramStart.h"
#include "app/UsageQuery.h"
#include "net/DynDnsRequest.h"
#include "platform/desktop/Clock.h"
#include "platform/desktop/DesktopNotifications.h"
#include "platform/desktop/SystemTray.h"
#include "platform/net/HttpClient.h"
#include "platform/net/Pause.h"
#include "platform/net/SntpClient.h"
#include "platform/net/SystemTime.h"
#include "platform/store/InstanceLock.h"
#include "platform/store/RegistryStore.h"
#include "settings/RegVars.h"

#include <QApplication>
#include <cstdio>

namespace {

int Answer(const CommandLine& asked)
{
    const CommandLine line = asked.query == UsageQuery::None
                                 ? asked
                                 : AnswerUsageQuery(asked.query, platform::defaultRegistryFile(),
                                                    QDateTime::currentDateTime());
    std::fputs(line.answer.toLocal8Bit().constData(), line.exitCode == 0 ? stdout : stderr);
    return line.exitCode;
}

} // namespace

int main(int argc, char** argv)
{
    platform::configureStoreLibrary();

    // Every answer and every fault comes before the toolkit starts, so none needs a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = ParseCommandLine(arguments);
    if (!line.run)
        return Answer(line);
    QApplication app(argc, argv);

    // The settings are read before the windows exist, so every part of the program sees them.
    const auto store = platform::defaultRegistryFile();
    CRegVars settings(store);
    const auto links = ChooseLinks(line.links, QDBusConnection::systemBus());
    const platform::SystemClock clock;
    platform::SystemTray tray;
    platform::HttpClient http(net::DynDnsServer);
    platform::RealtimeClock systemTime;
    platform::SntpClient sntp(systemTime);
    platform::TimerPause pause;
    platform::DesktopNotifications notifications(QDBusConnection::sessionBus());
    return RunProgram(app, {{settings, *links, clock, http, sntp, pause, tray, notifications},
                            platform::LockFileBeside(store)});
}
