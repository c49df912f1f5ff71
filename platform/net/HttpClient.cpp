#include "platform/net/HttpClient.h"

#include "platform/net/HostLookup.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTimer>

namespace platform {

namespace {

// The update protocol asks clients to name themselves as "company - model - version".
constexpr const char* UserAgent = "Quillmar - Quillmar - " QUILLMAR_VERSION;

bool IsSuccess(int status)
{
    return status >= 200 && status <= 299;
}

// The server's name is resolved by our own lookup, and Qt is given its addresses one after the
// other, so that Qt starts no lookup of its own: the application's end waits for those. The
// certificate is still checked against the name, which also goes out as the TLS server name and
// the Host header.
class HttpRequest final : public NetworkTask {
public:
    HttpRequest(QNetworkAccessManager& manager, const QNetworkRequest& request,
                HttpClient::Replied replied, HttpClient::Failed failed)
        : manager_(manager), request_(request), replied_(std::move(replied)),
          failed_(std::move(failed)),
          lookup_(
              request.url().host().toStdString(),
              [this](const QList<QHostAddress>& addresses) {
                  addresses_ = addresses;
                  AskNextAddress();
              },
              [this](const NetworkError& error) { Fail(error.message); })
    {
        request_.setPeerVerifyName(request.url().host());
        request_.setRawHeader("Host", request.url().authority().toUtf8());
        totalTimer_.setSingleShot(true);
        QObject::connect(&totalTimer_, &QTimer::timeout, [this] {
            Fail("No complete reply within " + std::to_string(HttpClient::TotalTimeoutMs / 1000) +
                 " s");
        });
        totalTimer_.start(HttpClient::TotalTimeoutMs);
    }
    ~HttpRequest() override { Stop(); }

private:
    void AskNextAddress()
    {
        Stop();
        QUrl url = request_.url();
        url.setHost(addresses_.takeFirst().toString());
        request_.setUrl(url);
        reply_ = manager_.get(request_);
        QObject::connect(reply_, &QNetworkReply::readyRead, &context_, [this] { TakeBody(); });
        QObject::connect(reply_, &QNetworkReply::finished, &context_, [this] { Finished(); });
    }

    // The body is capped while it arrives, so that no server can fill our memory. False once the
    // request has failed.
    bool TakeBody()
    {
        body_ += reply_->readAll();
        if (static_cast<std::size_t>(body_.size()) <= HttpClient::MaxBodyBytes)
            return true;
        Fail("Reply longer than " + std::to_string(HttpClient::MaxBodyBytes) + " bytes");
        return false;
    }

    void Finished()
    {
        if (!TakeBody())
            return;
        const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid() && !IsSuccess(status.toInt()))
            return Fail(
                QStringLiteral("HTTP/1.1 %1 %2")
                    .arg(status.toInt())
                    .arg(reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                    .toStdString());
        if (reply_->error() == QNetworkReply::NoError)
            return Succeed();
        // No answer from this address: the server may still answer at another.
        if (!status.isValid() && !addresses_.isEmpty())
            return AskNextAddress();
        Fail(ErrorText());
    }

    std::string ErrorText() const
    {
        // Qt ends a transfer that stalls beyond its time-out as if it had been cancelled.
        if (reply_->error() == QNetworkReply::OperationCanceledError)
            return "No data within " + std::to_string(HttpClient::TransferTimeoutMs / 1000) + " s";
        return reply_->errorString().toStdString();
    }

    // Each reports once; the callback may destroy this request, so nothing here is touched after.
    void Succeed()
    {
        Stop();
        failed_ = {};
        std::exchange(replied_, {})(body_.toStdString());
    }
    void Fail(const std::string& message)
    {
        Stop();
        replied_ = {};
        if (const HttpClient::Failed failed = std::exchange(failed_, {}))
            failed({message});
    }

    void Stop()
    {
        totalTimer_.stop();
        if (!reply_)
            return;
        QObject::disconnect(reply_, nullptr, &context_, nullptr);
        reply_->abort();
        reply_->deleteLater(); // it may be emitting right now
        reply_ = nullptr;
    }

    QNetworkAccessManager& manager_;
    QNetworkRequest request_;
    HttpClient::Replied replied_;
    HttpClient::Failed failed_;
    QList<QHostAddress> addresses_;
    QNetworkReply* reply_ = nullptr;
    QByteArray body_;
    QObject context_; // the receiver of the reply's signals, so that they can be cut at once
    QTimer totalTimer_;
    HostLookup lookup_;
};

} // namespace

HttpClient::HttpClient(std::string server, const std::string& caFile)
    : server_(std::move(server)), caFile_(caFile),
      manager_(std::make_unique<QNetworkAccessManager>())
{
    manager_->setProxy(QNetworkProxy::NoProxy); // straight to the server, whatever the environment
    manager_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

HttpClient::~HttpClient() = default;

const QSslConfiguration& HttpClient::Tls()
{
    if (!tls_) {
        tls_ = QSslConfiguration::defaultConfiguration();
        tls_->setPeerVerifyMode(QSslSocket::VerifyPeer);
        if (!caFile_.empty())
            tls_->setCaCertificates(QSslCertificate::fromPath(QString::fromStdString(caFile_)));
    }
    return *tls_;
}

std::unique_ptr<NetworkTask> HttpClient::Get(const std::string& target, const std::string& username,
                                             const std::string& password, Replied replied,
                                             Failed failed)
{
    QNetworkRequest request(QUrl(QString::fromStdString("https://" + server_ + target)));
    request.setSslConfiguration(Tls());
    request.setTransferTimeout(TransferTimeoutMs);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setHeader(QNetworkRequest::UserAgentHeader, UserAgent);
    request.setRawHeader("Accept", "text/html, */*");
    request.setRawHeader("Content-Type", "text/html");
    // Sent with the request itself: Qt would only answer a challenge, one round trip later.
    request.setRawHeader("Authorization",
                         "Basic " +
                             QByteArray::fromStdString(username + ":" + password).toBase64());
    return std::make_unique<HttpRequest>(*manager_, request, std::move(replied), std::move(failed));
}

} // namespace platform
