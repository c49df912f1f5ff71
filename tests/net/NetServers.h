#pragma once

#include "app/MainWindowFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <list>

namespace test {

// The main window with its network clients pointed at servers of the test's own, on loopback
// only: those of local_servers.py (HTTPS with a certificate authority made for the test, SNTP
// with scripted replies) and chronyd as a real NTP server.
class NetServers : public MainWindowFixture {
protected:
    ~NetServers() override;

    // Starts local_servers.py `kind` with `arguments`; returns the port it printed.
    std::uint16_t StartServer(const QString& kind, const QStringList& arguments = {});
    // Replies such as "401" or "200 good 127.0.0.1", in turn; the window's client trusts it.
    void StartHttps(const QStringList& plan);
    // Replies such as "good" or "originate+good" telling `time`, in turn; the window asks it.
    void StartSntp(std::chrono::system_clock::time_point time, const QStringList& plan);
    // False where chronyd cannot run (it needs root). It serves the clock and never sets it.
    bool StartChronyd();
    void UseNtpPort(std::uint16_t port);
    // One line per request the server saw, as local_servers.py logs it.
    QStringList Requests() const;

    QTemporaryDir dir;
    std::string httpsBase;
    std::string caFile;

private:
    std::list<QProcess> processes_;
};

} // namespace test
