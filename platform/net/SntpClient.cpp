#include "platform/net/SntpClient.h"

#include "net/SntpPacket.h"
#include "platform/net/HostLookup.h"
#include "platform/net/SystemTime.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace platform {

namespace {

using Outcome = TimeSyncResult::Outcome;

// A clock this close to the server's needs no setting; a time daemon usually keeps it so.
constexpr auto Tolerance = std::chrono::milliseconds(500);
// Room for the extension fields and key of a longer reply.
constexpr qint64 ReceiveBufferSize = 512;

class SntpExchange final : public NetworkTask {
public:
    SntpExchange(SystemTime& clock, std::uint16_t port, net::NtpTimestamp sent,
                 const std::string& host, SntpClient::Done done)
        : clock_(clock), port_(port), sent_(sent), done_(std::move(done)),
          lookup_(
              host, [this](const QList<QHostAddress>& addresses) { Send(addresses); },
              [this](const NetworkError& error) {
                  Finish({Outcome::Failed, error.message});
              })
    {
        answerTimer_.setSingleShot(true);
        QObject::connect(&answerTimer_, &QTimer::timeout, [this] {
            Finish({Outcome::NotSet, {}});
        });
    }

private:
    // To the first address that takes a connected socket, so that the kernel hands over only
    // datagrams from the address and port asked.
    void Send(const QList<QHostAddress>& addresses)
    {
        for (const QHostAddress& address : addresses) {
            socket_.connectToHost(address, port_); // UDP: done before it returns
            if (socket_.state() == QAbstractSocket::ConnectedState)
                break;
        }
        if (socket_.state() != QAbstractSocket::ConnectedState)
            return Finish({Outcome::Failed, socket_.errorString().toStdString()});
        QObject::connect(&socket_, &QUdpSocket::readyRead, [this] { Receive(); });
        QObject::connect(&socket_, &QAbstractSocket::errorOccurred, [this] {
            Finish({Outcome::Failed, socket_.errorString().toStdString()});
        });
        const auto request = net::SntpRequest(sent_);
        sentAt_ = clock_.Now();
        answerTimer_.start(SntpClient::AnswerTimeoutMs);
        socket_.write(reinterpret_cast<const char*>(request.data()), request.size());
    }

    void Receive()
    {
        while (socket_.hasPendingDatagrams()) {
            const QByteArray data = socket_.receiveDatagram(ReceiveBufferSize).data();
            const net::SntpReply reply =
                net::CheckSntpReply({reinterpret_cast<const std::uint8_t*>(data.constData()),
                                     static_cast<std::size_t>(data.size())},
                                    sent_);
            if (reply.verdict == net::SntpVerdict::KissOfDeath)
                return Finish({Outcome::KissOfDeath, "Kiss-o'-death " + reply.kissCode});
            if (reply.verdict == net::SntpVerdict::Accepted)
                return Finish(SetClock(reply));
        }
    }

    TimeSyncResult SetClock(const net::SntpReply& reply)
    {
        const auto offset = net::ClockOffset(sentAt_, reply, clock_.Now());
        if (offset >= -Tolerance && offset <= Tolerance)
            return {Outcome::ClockSet, {}};
        if (offset < -SntpClient::MaxStep || offset > SntpClient::MaxStep) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(offset);
            return {Outcome::Failed, "The server's time is " + std::to_string(seconds.count()) +
                                         " s off ours; steps over 1000 s are refused"};
        }
        return {clock_.Set(clock_.Now() + offset) ? Outcome::ClockSet : Outcome::NotSet, {}};
    }

    // Reports once; `done` may destroy this exchange, so nothing here is touched after it.
    void Finish(const TimeSyncResult& result)
    {
        answerTimer_.stop();
        socket_.close();
        if (const SntpClient::Done done = std::exchange(done_, {}))
            done(result);
    }

    SystemTime& clock_;
    std::uint16_t port_;
    net::NtpTimestamp sent_;
    SntpClient::Done done_;
    SystemTime::TimePoint sentAt_;
    QUdpSocket socket_;
    QTimer answerTimer_;
    HostLookup lookup_;
};

} // namespace

SntpClient::SntpClient(SystemTime& clock, std::uint16_t port) : clock_(clock), port_(port) {}

std::unique_ptr<NetworkTask> SntpClient::SyncTime(const std::string& host, Done done)
{
    // A random transmit timestamp, echoed in the reply, proves the reply answers this request
    // and tells an onlooker nothing about our clock.
    const net::NtpTimestamp sent = std::uint64_t{random_()} << 32 | random_();
    return std::make_unique<SntpExchange>(clock_, port_, sent, host, std::move(done));
}

} // namespace platform
