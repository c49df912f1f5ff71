#include "platform/HttpClient.h"

#include "platform/NetworkError.h"

#include <curl/curl.h>
#include <memory>

namespace platform {

namespace {

// The update protocol asks clients to name themselves as "company - model - version".
constexpr const char* UserAgent = "Quillmar - Quillmar - " QUILLMAR_VERSION;

struct Reply {
    std::string body;
    std::string statusLine;
    bool overlong = false;
};

std::size_t TakeBody(char* data, std::size_t size, std::size_t count, void* user)
{
    auto& reply = *static_cast<Reply*>(user);
    const std::size_t length = size * count;
    if (reply.body.size() + length > HttpClient::MaxBodyBytes) {
        reply.overlong = true;
        return 0; // ends the transfer with an error
    }
    reply.body.append(data, length);
    return length;
}

// Keeps the last status line, so that an interim "100 Continue" does not hide the final one.
std::size_t TakeHeader(char* data, std::size_t size, std::size_t count, void* user)
{
    const std::size_t length = size * count;
    std::string line(data, length);
    if (line.starts_with("HTTP/")) {
        const std::size_t end = line.find_last_not_of(" \t\r\n");
        line.erase(end == std::string::npos ? 0 : end + 1);
        static_cast<Reply*>(user)->statusLine = line;
    }
    return length;
}

struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct HeaderListCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

} // namespace

HttpClient::HttpClient(std::string baseUrl, std::string caFile)
    : baseUrl_(std::move(baseUrl)), caFile_(std::move(caFile))
{
    [[maybe_unused]] static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
}

std::string HttpClient::Get(const std::string& target, const std::string& username,
                            const std::string& password) const
{
    const std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    if (!curl)
        throw NetworkError("Cannot start an HTTP request");
    std::unique_ptr<curl_slist, HeaderListCleanup> headers(
        curl_slist_append(nullptr, "Accept: text/html, */*"));
    headers.reset(curl_slist_append(headers.release(), "Content-Type: text/html"));

    Reply reply;
    char error[CURL_ERROR_SIZE] = "";
    CURL* const handle = curl.get();
    const std::string url = baseUrl_ + target;
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile_.empty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, caFile_.c_str());
    curl_easy_setopt(handle, CURLOPT_PROXY, ""); // straight to the server, whatever the environment
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(handle, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
    curl_easy_setopt(handle, CURLOPT_USERNAME, username.c_str());
    curl_easy_setopt(handle, CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, UserAgent);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, ConnectTimeoutMs);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, TotalTimeoutMs);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, TakeBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, TakeHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &reply);

    const CURLcode result = curl_easy_perform(handle);
    if (reply.overlong)
        throw NetworkError("Reply longer than " + std::to_string(MaxBodyBytes) + " bytes");
    if (result != CURLE_OK)
        throw NetworkError(error[0] != '\0' ? error : curl_easy_strerror(result));
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299)
        throw NetworkError(reply.statusLine);
    return reply.body;
}

} // namespace platform
