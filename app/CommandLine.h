#pragma once

#include "app/LinkChoice.h"

#include <QString>
#include <QStringList>

// What the program's arguments ask for: to run with a choice of link service, or an answer on
// the console and the exit code to end with: 0 for help and version on standard output, 2 for a
// fault and the usage on standard error.
struct CommandLine {
    bool run = true;
    LinkService links = LinkService::Automatic;
    QString answer;
    int exitCode = 0;
};

// `arguments` starts with the program's name, as argv does.
CommandLine ParseCommandLine(const QStringList& arguments);
