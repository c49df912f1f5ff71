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

// The toolkit's own options, which it takes out of the arguments once it starts. They are left
// out here so that the arguments can be judged before it starts: a fault must not wait for a
// display that may not be there.
const QStringList ToolkitFlags = {"reverse", "nograb", "dograb", "widgetcount", "testability"};
const QStringList ToolkitOptionsWithValue = {"platform",
                                             "platformpluginpath",
                                             "platformtheme",
                                             "plugin",
                                             "qwindowgeometry",
                                             "geometry",
                                             "qwindowtitle",
                                             "title",
                                             "qwindowicon",
                                             "icon",
                                             "session",
                                             "display",
                                             "name",
                                             "visual",
                                             "style",
                                             "stylesheet",
                                             "qmljsdebugger"};

QStringList WithoutToolkitOptions(const QStringList& arguments)
{
    QStringList ours;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        // The toolkit takes its options with one dash or two, the value after "=" or next.
        const qsizetype dashes = argument.startsWith("--") ? 2 : argument.startsWith('-') ? 1 : 0;
        const QString name = argument.mid(dashes).section('=', 0, 0);
        if (i > 0 && dashes > 0 && ToolkitFlags.contains(name))
            continue;
        if (i > 0 && dashes > 0 && ToolkitOptionsWithValue.contains(name)) {
            if (!argument.contains('=') && i + 1 < arguments.size())
                ++i;
            continue;
        }
        ours << argument;
    }
    return ours;
}

// The parser's own faults read like ours: "unknown option '--bogus'".
QString ParserFault(const QCommandLineParser& parser)
{
    if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty())
        return "unknown option '" + QString(unknown.first().size() == 1 ? "-" : "--") +
               unknown.first() + "'";
    QString text = parser.errorText();
    if (text.endsWith('.'))
        text.chop(1);
    return text.left(1).toLower() + text.mid(1);
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
    if (!parser.parse(WithoutToolkitOptions(arguments)))
        return Fault(ParserFault(parser));
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
