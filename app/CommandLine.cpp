#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace {

const char* const Usage = "usage: quillmar [--help] [--version] [--links=kernel|networkmanager]\n";

const char* const Help =
    "\n"
    "Watches one network connection, counts its traffic and keeps it within a limit.\n"
    "\n"
    "  -h, --help         show this help and end\n"
    "  -v, --version      show the versions of Quillmar and Qt and end\n"
    "  --links=SERVICE    where the connections come from: \"networkmanager\" (its\n"
    "                     profiles) or \"kernel\" (network interfaces); by default\n"
    "                     NetworkManager when it runs\n";

CommandLine Answer(const QString& text, int exitCode)
{
    return {false, LinkService::Automatic, text, exitCode};
}

CommandLine Fault(const QString& why)
{
    return Answer("quillmar: " + why + "\n" + Usage, 2);
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help({"h", "help"}, {});
    const QCommandLineOption version({"v", "version"}, {});
    const QCommandLineOption links("links", {}, "service");
    parser.addOptions({help, version, links});
    if (!parser.parse(arguments))
        return Fault(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return Fault("unexpected argument '" + parser.positionalArguments().first() + "'");
    if (parser.isSet(help))
        return Answer(QString(Usage) + Help, 0);
    if (parser.isSet(version))
        return Answer(QStringLiteral("Quillmar %1\nQt %2\n").arg(QUILLMAR_VERSION, qVersion()), 0);

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
