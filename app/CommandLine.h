#pragma once

#include "app/LinkChoice.h"

#include <QString>
#include <QStringList>

// The questions about the traffic counted, answered from the store.
enum class UsageQuery { None, Status, StatusJson, HistoryCsv };

// What the program's arguments ask for: to run with a choice of link service, or an answer on
// the console and the exit code to end with: 0 for help and version on standard output, 2 for a
// fault and the usage on standard error; or a query to answer, with exit code 0 until it is.
struct CommandLine {
    bool run = true;
    LinkService links = LinkService::Automatic;
    QString answer;
    int exitCode = 0;
    UsageQuery query = UsageQuery::None;
};

// An answer on the console instead of a run.
CommandLine ConsoleAnswer(const QString& text, int exitCode);

// `arguments` starts with the program's name, as argv does. The toolkit's own options (-platform,
// -display, -style…) are passed over, so the whole command line is judged before it starts.
CommandLine ParseCommandLine(const QStringList& arguments);
