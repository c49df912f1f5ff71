#include "app/CommandLine.h"
#include "app/LinkChoice.h"
#include "app/ProgramStart.h"
#include "app/UsageQuery.h"
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
    // Help, version and the queries are answered before the toolkit starts, so they need no
    // display. Any other fault waits until the toolkit has taken out its own options (-platform,
    // -display…).
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const CommandLine early = ParseCommandLine(arguments); !early.run && early.exitCode == 0)
        return Answer(early);
    QApplication app(argc, argv);
    const CommandLine line = ParseCommandLine(app.arguments());
    if (!line.run)
        return Answer(line);

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
    return RunProgram(
        app, {{settings, *links, clock, http, sntp, pause, tray}, platform::LockFileBeside(store)});
}
