// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/update/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>

namespace lumafold {

namespace {

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter
{
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct UrlDeleter
{
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

struct TextDeleter
{
    void operator()(char* text) const { curl_free(text); }
};

struct BodySink
{
    std::string* body = nullptr;
    std::size_t limit = 0;
};

// Returning less than was offered makes curl abort the transfer.
std::size_t collectBody(char* data, std::size_t size, std::size_t count, void* user) noexcept
{
    auto* sink = static_cast<BodySink*>(user);
    const std::size_t bytes = size * count;
    if (bytes > sink->limit - sink->body->size()) {
        return 0;
    }
    try {
        sink->body->append(data, bytes);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return bytes;
}

// The scheme as curl understands the URL (lower case), or nothing when it does not parse.
std::string schemeOf(const std::string& url)
{
    const std::unique_ptr<CURLU, UrlDeleter> handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return {};
    }
    char* raw = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_SCHEME, &raw, 0) != CURLUE_OK || !raw) {
        return {};
    }
    const std::unique_ptr<char, TextDeleter> scheme(raw);
    return scheme.get();
}

} // namespace

CurlHttpClient::CurlHttpClient(std::string caFile) : m_caFile(std::move(caFile))
{
    initialiseCurlOnce();
}

HttpResponse CurlHttpClient::get(const std::string& url, std::chrono::seconds timeout, std::size_t maxBodyBytes)
{
    HttpResponse response;
    const std::string scheme = schemeOf(url);
    if (scheme != "http" && scheme != "https") {
        return response;
    }
    const std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl) {
        return response;
    }
    CURL* const handle = curl.get();
    BodySink sink{&response.body, maxBodyBytes};
    const auto timeoutMs = std::max<long long>(1, std::chrono::milliseconds(timeout).count());
    const auto maxFileSize =
        static_cast<curl_off_t>(std::min<std::size_t>(maxBodyBytes, std::numeric_limits<curl_off_t>::max()));

    bool configured = curl_easy_setopt(handle, CURLOPT_URL, url.c_str()) == CURLE_OK;
    const auto set = [&](CURLoption option, auto value) {
        configured = configured && curl_easy_setopt(handle, option, value) == CURLE_OK;
    };
    set(CURLOPT_HTTPGET, 1L);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    // Once a request went out over TLS, no redirect may take it back to plain text.
    set(CURLOPT_REDIR_PROTOCOLS_STR, scheme == "https" ? "https" : "http,https");
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, 10L);
    set(CURLOPT_TIMEOUT_MS, static_cast<long>(std::min<long long>(timeoutMs, std::numeric_limits<long>::max())));
    set(CURLOPT_MAXFILESIZE_LARGE, maxFileSize);
    set(CURLOPT_WRITEFUNCTION, &collectBody);
    set(CURLOPT_WRITEDATA, static_cast<void*>(&sink));
    if (!m_caFile.empty()) {
        set(CURLOPT_CAINFO, m_caFile.c_str());
    }
    if (!configured || curl_easy_perform(handle) != CURLE_OK) {
        response.body.clear();
        return response;
    }
    long status = 0;
    if (curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) {
        response.body.clear();
        return response;
    }
    response.transportOk = true;
    response.status = status;
    return response;
}

} // namespace lumafold
