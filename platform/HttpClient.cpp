#include "platform/HttpClient.h"

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

class HttpRequest final : public NetworkTask {
public:
    HttpRequest(QNetworkReply* reply, HttpClient::Replied replied, HttpClient::Failed failed)
        : reply_(reply), replied_(std::move(replied)), failed_(std::move(failed))
    {
        QObject::connect(reply_, &QNetworkReply::readyRead, &context_, [this] { TakeBody(); });
        QObject::connect(reply_, &QNetworkReply::finished, &context_, [this] { Finished(); });
        totalTimer_.setSingleShot(true);
        QObject::connect(&totalTimer_, &QTimer::timeout, [this] {
            Fail("No complete reply within " + std::to_string(HttpClient::TotalTimeoutMs / 1000) +
                 " s");
        });
        totalTimer_.start(HttpClient::TotalTimeoutMs);
    }
    ~HttpRequest() override
    {
        Stop();
        reply_->deleteLater(); // it may be emitting right now
    }

private:
    // The body is capped while it arrives, so that no server can fill our memory.
    void TakeBody()
    {
        body_ += reply_->readAll();
        if (static_cast<std::size_t>(body_.size()) > HttpClient::MaxBodyBytes)
            Fail("Reply longer than " + std::to_string(HttpClient::MaxBodyBytes) + " bytes");
    }

    void Finished()
    {
        TakeBody();
        if (!replied_)
            return;
        const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid() && !IsSuccess(status.toInt()))
            return Fail(
                QStringLiteral("HTTP/1.1 %1 %2")
                    .arg(status.toInt())
                    .arg(reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                    .toStdString());
        if (reply_->error() != QNetworkReply::NoError)
            return Fail(ErrorText());
        Stop();
        failed_ = {};
        std::exchange(replied_, {})(body_.toStdString());
    }

    std::string ErrorText() const
    {
        // Qt ends a transfer that stalls beyond its time-out as if it had been cancelled.
        if (reply_->error() == QNetworkReply::OperationCanceledError)
            return "No data within " + std::to_string(HttpClient::TransferTimeoutMs / 1000) + " s";
        return reply_->errorString().toStdString();
    }

    // Reports once; `failed_` may destroy this request, so nothing here is touched after it.
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
        QObject::disconnect(reply_, nullptr, &context_, nullptr);
        reply_->abort();
    }

    QNetworkReply* reply_;
    HttpClient::Replied replied_;
    HttpClient::Failed failed_;
    QByteArray body_;
    QObject context_; // the receiver of the reply's signals, so that they can be cut at once
    QTimer totalTimer_;
};

} // namespace

HttpClient::HttpClient(std::string server, const std::string& caFile)
    : server_(std::move(server)), tls_(QSslConfiguration::defaultConfiguration()),
      manager_(std::make_unique<QNetworkAccessManager>())
{
    tls_.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!caFile.empty())
        tls_.setCaCertificates(QSslCertificate::fromPath(QString::fromStdString(caFile)));
    manager_->setProxy(QNetworkProxy::NoProxy); // straight to the server, whatever the environment
    manager_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

HttpClient::~HttpClient() = default;

std::unique_ptr<NetworkTask> HttpClient::Get(const std::string& target, const std::string& username,
                                             const std::string& password, Replied replied,
                                             Failed failed)
{
    QNetworkRequest request(QUrl(QString::fromStdString("https://" + server_ + target)));
    request.setSslConfiguration(tls_);
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
    return std::make_unique<HttpRequest>(manager_->get(request), std::move(replied),
                                         std::move(failed));
}

} // namespace platform
