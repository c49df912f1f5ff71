#include "net/NetServers.h"

#include "net/SntpPacket.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace test {

namespace {

constexpr std::size_t OriginateOffset = 24;
constexpr std::size_t TransmitOffset = 40;

int BoundUdpSocket(int family, std::uint16_t& port)
{
    const int fd = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    address.ss_family = static_cast<sa_family_t>(family);
    if (family == AF_INET)
        reinterpret_cast<sockaddr_in&>(address).sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no UDP socket");
    port = ntohs(reinterpret_cast<sockaddr_in&>(address).sin_port); // same place in both
    return fd;
}

void PutTimestamp(SntpResponder::Bytes& packet, std::size_t offset, net::NtpTimestamp value)
{
    for (std::size_t i = 0; i < 8; ++i)
        packet[offset + i] = static_cast<std::uint8_t>(value >> (56 - 8 * i));
}

// True once some socket listens on 127.0.0.1:`port` for UDP.
bool UdpPortBound(std::uint16_t port)
{
    std::ifstream table("/proc/net/udp");
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X ", port);
    for (std::string line; std::getline(table, line);)
        if (line.find(local) != std::string::npos)
            return true;
    return false;
}

} // namespace

SntpResponder::SntpResponder(std::vector<Answer> answers) : answers_(std::move(answers))
{
    std::uint16_t otherPort = 0;
    socket_ = BoundUdpSocket(AF_INET6, port_);
    otherSocket_ = BoundUdpSocket(AF_INET6, otherPort);
    thread_ = std::thread([this] { Serve(); });
}

SntpResponder::~SntpResponder()
{
    stop_ = true;
    thread_.join();
    ::close(socket_);
    ::close(otherSocket_);
}

std::vector<std::string> SntpResponder::Requests() const
{
    const std::lock_guard lock(mutex_);
    return requests_;
}

SntpResponder::Bytes SntpResponder::Reply(const Bytes& request,
                                          std::chrono::system_clock::time_point server)
{
    Bytes reply(net::SntpPacketSize);
    reply[0] = 4 << 3 | 4; // no leap warning, version 4, server
    reply[1] = 2;          // stratum
    std::copy_n(request.begin() + TransmitOffset, 8, reply.begin() + OriginateOffset);
    PutTimestamp(reply, 32, net::ToNtp(server));
    PutTimestamp(reply, TransmitOffset, net::ToNtp(server));
    return reply;
}

void SntpResponder::Serve()
{
    while (!stop_) {
        pollfd wait{socket_, POLLIN, 0};
        if (::poll(&wait, 1, 20) <= 0)
            continue;
        Bytes request(512);
        sockaddr_in6 peer{};
        socklen_t peerLength = sizeof peer;
        const ssize_t length = ::recvfrom(socket_, request.data(), request.size(), 0,
                                          reinterpret_cast<sockaddr*>(&peer), &peerLength);
        if (length < static_cast<ssize_t>(net::SntpPacketSize))
            continue;
        request.resize(static_cast<std::size_t>(length));
        char address[INET6_ADDRSTRLEN] = "";
        ::inet_ntop(AF_INET6, &peer.sin6_addr, address, sizeof address);
        std::size_t index = 0;
        {
            const std::lock_guard lock(mutex_);
            requests_.emplace_back(address);
            index = std::min(requests_.size(), answers_.size()) - 1;
        }
        for (const Datagram& datagram : answers_[index](request))
            ::sendto(datagram.fromOtherPort ? otherSocket_ : socket_, datagram.bytes.data(),
                     datagram.bytes.size(), 0, reinterpret_cast<sockaddr*>(&peer), peerLength);
    }
}

NetServers::~NetServers()
{
    form.reset(); // before the servers its clients point at
    for (QProcess* process : {&https_, &chronyd_}) {
        process->terminate();
        process->waitForFinished();
    }
}

void NetServers::StartHttps(const QStringList& plan)
{
    https_.start("python3", QStringList{QUILLMAR_HTTPS_SERVER, dir.path()} + plan);
    if (!https_.waitForReadyRead(30000))
        throw std::runtime_error("the HTTPS server did not start: " +
                                 https_.readAllStandardError().toStdString());
    httpsPort_ = static_cast<std::uint16_t>(https_.readLine().trimmed().toUInt());
    http =
        std::make_unique<platform::HttpClient>(HttpsBase(), dir.filePath("ca.pem").toStdString());
}

QStringList NetServers::HttpsRequests() const
{
    QFile log(dir.filePath("requests"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
}

std::string NetServers::HttpsBase() const
{
    return "https://127.0.0.1:" + std::to_string(httpsPort_);
}

void NetServers::StartSntp(std::vector<SntpResponder::Answer> answers)
{
    sntpServer = std::make_unique<SntpResponder>(std::move(answers));
    UseNtpPort(sntpServer->Port());
}

bool NetServers::StartChronyd()
{
    if (::geteuid() != 0 || QStandardPaths::findExecutable("chronyd").isEmpty())
        return false;
    const std::uint16_t port = ClosedUdpPort();
    QFile config(dir.filePath("chrony.conf"));
    config.open(QIODevice::WriteOnly);
    config.write(QString("port %1\nbindaddress 127.0.0.1\nallow 127.0.0.1\nlocal stratum 8\n"
                         "cmdport 0\nbindcmdaddress /\npidfile %2/chronyd.pid\n"
                         "driftfile %2/chrony.drift\n")
                     .arg(port)
                     .arg(dir.path())
                     .toUtf8());
    config.close();
    // -x: never touch the clock; -d: in the foreground, so that terminate() reaches it.
    chronyd_.start("chronyd", {"-x", "-d", "-u", "root", "-f", config.fileName()});
    chronyd_.waitForStarted();
    const QDeadlineTimer deadline(10000);
    while (chronyd_.state() == QProcess::Running && !deadline.hasExpired() && !UdpPortBound(port))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    UseNtpPort(port);
    return chronyd_.state() == QProcess::Running;
}

void NetServers::UseNtpPort(std::uint16_t port)
{
    sntp = std::make_unique<platform::SntpClient>(systemTime, port);
}

std::uint16_t ClosedUdpPort()
{
    std::uint16_t port = 0;
    ::close(BoundUdpSocket(AF_INET, port));
    return port;
}

} // namespace test
