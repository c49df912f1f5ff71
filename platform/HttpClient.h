#pragma once

#include <cstddef>
#include <string>

namespace platform {

// The dynamic-DNS update's HTTP client on libcurl, blocking on the calling thread. HTTPS only,
// with certificate and host-name checks; the credentials go out only once the server has proved
// who it is. Each request stands alone: no cookies, no connection kept.
class HttpClient {
public:
    // Bounds on one request.
    static constexpr long ConnectTimeoutMs = 5000;
    static constexpr long TotalTimeoutMs = 10000;
    static constexpr std::size_t MaxBodyBytes = 64 * 1024;

    // `baseUrl` is scheme, host and port ("https://members.dyndns.org"); `caFile` holds the
    // trusted certificate authorities in PEM, or is empty for the system's own.
    explicit HttpClient(std::string baseUrl, std::string caFile = {});

    // GET `target` (path and query) with basic authentication and returns the reply body.
    // Every failure, an HTTP error status among them, is raised as NetworkError; a status reads
    // as the server's status line, such as "HTTP/1.1 401 Unauthorized".
    std::string Get(const std::string& target, const std::string& username,
                    const std::string& password) const;

private:
    std::string baseUrl_;
    std::string caFile_;
};

} // namespace platform
