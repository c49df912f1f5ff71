#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace {

const char* const Usage = "usage: quillmar [--help] [--version] [--links=kernel|networkmanager]\n"
                          "                [--status [--json]] [--history --csv]\n";

const char* const Help =
    "\n"
    "Watches one network connection, counts its traffic and keeps it within a limit.\n"
    "\n"
    "  -h, --help         show this help and end\n"
    "  -v, --version      show the versions of Quillmar and Qt and end\n"
    "  --links=SERVICE    where the connections come from: \"networkmanager\" (its\n"
    "                     profiles) or \"kernel\" (network interfaces); by default\n"
    "                     NetworkManager when it runs\n"
    "  --status           print where the accounting period stands: used and left of\n"
    "                     the limit, its end, a daily budget and where the pace of\n"
    "                     the last days leads\n"
    "  --status --json    the same and the period's days and the past periods as one\n"
    "                     JSON object\n"
    "  --history --csv    print every stored day of the watched connection (the one\n"
    "                     chosen in the settings) as date,received,transmitted\n"
    "\n"
    "--status and --history read the settings store, also while Quillmar runs, and\n"
    "end with exit status 1 when there is none yet.\n";

CommandLine Fault(const QString& why)
{
    return ConsoleAnswer("quillmar: " + why + "\n" + Usage, 2);
}

CommandLine Query(UsageQuery query)
{
    CommandLine answer = ConsoleAnswer({}, 0);
    answer.query = query;
    return answer;
}

} // namespace

CommandLine ConsoleAnswer(const QString& text, int exitCode)
{
    return {false, LinkService::Automatic, text, exitCode};
}

CommandLine ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help({"h", "help"}, {});
    const QCommandLineOption version({"v", "version"}, {});
    const QCommandLineOption links("links", {}, "service");
    const QCommandLineOption status("status", {});
    const QCommandLineOption json("json", {});
    const QCommandLineOption history("history", {});
    const QCommandLineOption csv("csv", {});
    parser.addOptions({help, version, links, status, json, history, csv});
    if (!parser.parse(arguments))
        return Fault(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return Fault("unexpected argument '" + parser.positionalArguments().first() + "'");
    if (parser.isSet(help))
        return ConsoleAnswer(QString(Usage) + Help, 0);
    if (parser.isSet(version))
        return ConsoleAnswer(
            QStringLiteral("Quillmar %1\nQt %2\n").arg(QUILLMAR_VERSION, qVersion()), 0);
    if ((parser.isSet(status) && parser.isSet(history)) ||
        (parser.isSet(json) && !parser.isSet(status)) || parser.isSet(history) != parser.isSet(csv))
        return Fault("ask either --status [--json] or --history --csv");
    if (parser.isSet(status))
        return Query(parser.isSet(json) ? UsageQuery::StatusJson : UsageQuery::Status);
    if (parser.isSet(history))
        return Query(UsageQuery::HistoryCsv);

    CommandLine run;
    if (parser.isSet(links)) {
        const QString service = parser.value(links);
        if (service == "kernel")
            run.links = LinkService::Kernel;
        else if (service == "networkmanager")
            run.links = LinkService::NetworkManager;
        else
            return Fault("unknown link service '" + service + "'");
    }
    return run;
}
