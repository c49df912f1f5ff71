#include "net/NetServers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <stdexcept>
#include <unistd.h>

namespace test {

namespace {

QByteArray ReadAll(const QString& file)
{
    QFile source(file);
    return source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
}

} // namespace

NetServers::~NetServers()
{
    form.reset(); // before the servers its clients point at
    for (QProcess& process : processes_) {
        process.terminate();
        process.waitForFinished();
    }
}

std::uint16_t NetServers::StartServer(const QString& kind, const QStringList& arguments)
{
    QProcess& server = processes_.emplace_back();
    server.start(QUILLMAR_PYTHON, QStringList{QUILLMAR_LOCAL_SERVERS, kind, dir.path()} + arguments);
    if (!server.waitForReadyRead(30000))
        throw std::runtime_error(kind.toStdString() + " server did not start: " +
                                 server.readAllStandardError().toStdString());
    return static_cast<std::uint16_t>(server.readLine().trimmed().toUInt());
}

void NetServers::StartHttps(const QStringList& plan)
{
    httpsBase = "https://127.0.0.1:" + std::to_string(StartServer("https", plan));
    caFile = dir.filePath("ca.pem").toStdString();
    http = std::make_unique<platform::HttpClient>(httpsBase, caFile);
}

void NetServers::StartSntp(std::chrono::system_clock::time_point time, const QStringList& plan)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    UseNtpPort(StartServer("sntp", QStringList{QString::number(ms.count())} + plan));
}

bool NetServers::StartChronyd()
{
    if (::geteuid() != 0 || QStandardPaths::findExecutable("chronyd").isEmpty())
        return false;
    const std::uint16_t port = StartServer("free-udp");
    QFile config(dir.filePath("chrony.conf"));
    config.open(QIODevice::WriteOnly);
    config.write(QString("port %1\nbindaddress 127.0.0.1\nallow 127.0.0.1\nlocal stratum 8\n"
                         "cmdport 0\nbindcmdaddress /\npidfile %2/chronyd.pid\n"
                         "driftfile %2/chrony.drift\n")
                     .arg(port)
                     .arg(dir.path())
                     .toUtf8());
    config.close();
    // -x: the clock is never touched; -d: in the foreground, where terminate() reaches it.
    QProcess& chronyd = processes_.emplace_back();
    chronyd.start("chronyd", {"-x", "-d", "-u", "root", "-f", config.fileName()});
    chronyd.waitForStarted();
    // Ready once its socket is bound.
    const QByteArray socket =
        QString(" 0100007F:%1 ").arg(port, 4, 16, QChar('0')).toUpper().toLatin1();
    for (QDeadlineTimer deadline(10000); !ReadAll("/proc/net/udp").contains(socket);) {
        if (deadline.hasExpired())
            throw std::runtime_error("chronyd did not start: " + chronyd.readAll().toStdString());
        QThread::msleep(10);
    }
    UseNtpPort(port);
    return true;
}

void NetServers::UseNtpPort(std::uint16_t port)
{
    sntp = std::make_unique<platform::SntpClient>(systemTime, port);
}

QStringList NetServers::Requests() const
{
    return QString::fromUtf8(ReadAll(dir.filePath("requests"))).split('\n', Qt::SkipEmptyParts);
}

} // namespace test
