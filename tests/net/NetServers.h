#pragma once

#include "app/MainWindowFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace test {

// An SNTP server of the test's own on [::] (IPv4 and IPv6 loopback alike), answering from a
// thread of its own. Each request gets the datagrams of the next answer; the last answer repeats,
// and an empty one is silence.
class SntpResponder {
public:
    using Bytes = std::vector<std::uint8_t>;
    struct Datagram {
        Bytes bytes;
        bool fromOtherPort = false;
    };
    using Answer = std::function<std::vector<Datagram>(const Bytes& request)>;

    explicit SntpResponder(std::vector<Answer> answers);
    ~SntpResponder();
    SntpResponder(const SntpResponder&) = delete;
    SntpResponder& operator=(const SntpResponder&) = delete;

    std::uint16_t Port() const { return port_; }
    // The source address of each request so far, such as "::ffff:127.0.0.1" or "::1".
    std::vector<std::string> Requests() const;

    // A valid server reply to `request` telling the time `server`.
    static Bytes Reply(const Bytes& request, std::chrono::system_clock::time_point server);

private:
    void Serve();

    std::vector<Answer> answers_;
    int socket_ = -1;
    int otherSocket_ = -1;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

// The main window with its network clients pointed at local servers on loopback only: an HTTPS
// server (a Python script serving a certificate made by a test certificate authority), the SNTP
// responder above, and chronyd as a real NTP server.
class NetServers : public MainWindowFixture {
protected:
    ~NetServers() override;

    // Each request is answered with the next reply of `plan`, the last one repeating: a status
    // and the body after one blank, such as "200 good 127.0.0.1" or "401". The window's client
    // trusts the test's certificate authority.
    void StartHttps(const QStringList& plan);
    // One line per request seen: target|user:password|User-Agent|Accept|Content-Type|Cookie.
    QStringList HttpsRequests() const;
    std::string HttpsBase() const;

    void StartSntp(std::vector<SntpResponder::Answer> answers);
    // False when chronyd cannot run here (it needs root); otherwise the window's SNTP client
    // asks it. It serves the system clock and never sets it.
    bool StartChronyd();
    void UseNtpPort(std::uint16_t port);

    QTemporaryDir dir;
    std::unique_ptr<SntpResponder> sntpServer;

private:
    QProcess https_;
    std::uint16_t httpsPort_ = 0;
    QProcess chronyd_;
};

// A UDP port on loopback with nothing behind it.
std::uint16_t ClosedUdpPort();

} // namespace test
