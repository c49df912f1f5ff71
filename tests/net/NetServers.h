#pragma once

#include "app/MainWindowFixture.h"

#include <QAction>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <list>
#include <stdexcept>

namespace test {

// The main window with its network clients pointed at servers of the test's own, on loopback
// only: those of local_servers.py (HTTPS with a certificate authority made for the test, SNTP
// with scripted replies).
class NetServers : public MainWindowFixture {
protected:
    ~NetServers() override
    {
        form.reset(); // before the servers its clients point at
        for (QProcess& process : processes_) {
            process.terminate();
            process.waitForFinished();
        }
    }

    // Starts `program` and returns the process; it ends with the test.
    QProcess& Start(const QString& program, const QStringList& arguments)
    {
        QProcess& process = processes_.emplace_back();
        process.start(program, arguments);
        return process;
    }
    // Starts local_servers.py `kind` with `arguments`; returns the port it printed.
    std::uint16_t StartServer(const QString& kind, const QStringList& arguments = {})
    {
        QProcess& server = Start(QUILLMAR_PYTHON,
                                 QStringList{QUILLMAR_LOCAL_SERVERS, kind, dir.path()} + arguments);
        if (!server.waitForReadyRead(30000))
            throw std::runtime_error(kind.toStdString() + " server did not start: " +
                                     server.readAllStandardError().toStdString());
        return static_cast<std::uint16_t>(server.readLine().trimmed().toUInt());
    }
    // Replies such as "401" or "200 good 127.0.0.1", in turn; the window's client trusts it.
    void StartHttps(const QStringList& plan)
    {
        httpsBase = "https://127.0.0.1:" + std::to_string(StartServer("https", plan));
        caFile = dir.filePath("ca.pem").toStdString();
        http = std::make_unique<platform::HttpClient>(httpsBase, caFile);
    }
    // Replies such as "good" or "originate+good" telling `time`, in turn; the window asks it.
    void StartSntp(std::chrono::system_clock::time_point time, const QStringList& plan)
    {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
        UseNtpPort(StartServer("sntp", QStringList{QString::number(ms.count())} + plan));
    }
    void UseNtpPort(std::uint16_t port)
    {
        sntp = std::make_unique<platform::SntpClient>(systemTime, port);
    }
    // One line per request the server saw, as local_servers.py logs it.
    QStringList Requests() const
    {
        QFile log(dir.filePath("requests"));
        return log.open(QIODevice::ReadOnly)
                   ? QString(log.readAll()).split('\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
    // Runs the menu command `action` and returns the protocol lines it wrote.
    QStringList RunFromMenu(const char* action)
    {
        const qsizetype before = Protocol().size();
        form->findChild<QAction*>(action)->trigger();
        return Protocol().mid(before);
    }

    QTemporaryDir dir;
    std::string httpsBase;
    std::string caFile;

private:
    std::list<QProcess> processes_;
};

} // namespace test
