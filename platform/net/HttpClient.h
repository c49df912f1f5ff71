#pragma once

#include "platform/net/NetworkError.h"
#include "platform/net/NetworkTask.h"

#include <QSslConfiguration>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QNetworkAccessManager;

namespace platform {

// The dynamic-DNS update's HTTP client on QtNetwork, on the event loop. HTTPS only, with
// certificate and host-name checks; no cookies, no proxy, no redirects followed.
class HttpClient {
public:
    // Bounds on one request: without any progress, and in all.
    static constexpr int TransferTimeoutMs = 5000;
    static constexpr int TotalTimeoutMs = 10000;
    static constexpr std::size_t MaxBodyBytes = 64 * 1024;

    using Replied = std::function<void(const std::string& body)>;
    using Failed = std::function<void(const NetworkError& error)>;

    // `server` is the host and, where not 443, the port ("members.dyndns.org", "127.0.0.1:8443");
    // `caFile` holds the trusted certificate authorities in PEM, or is empty for the system's own.
    explicit HttpClient(std::string server, const std::string& caFile = {});
    ~HttpClient();

    // GET `target` (path and query) with basic authentication. Exactly one of the two callbacks
    // is called, on the event loop. Every failure, an HTTP error status among them, is reported
    // as a NetworkError; a status reads as a status line, such as "HTTP/1.1 401 Unauthorized".
    std::unique_ptr<NetworkTask> Get(const std::string& target, const std::string& username,
                                     const std::string& password, Replied replied, Failed failed);

private:
    // Made at the first request: loading the TLS library would cost the program's start some 30
    // million instructions.
    const QSslConfiguration& Tls();

    std::string server_;
    std::string caFile_;
    std::optional<QSslConfiguration> tls_;
    std::unique_ptr<QNetworkAccessManager> manager_;
};

} // namespace platform
