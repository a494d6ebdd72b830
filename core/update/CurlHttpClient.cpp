// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/update/HttpClient.h"

#include "lumafold/LumafoldError.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <system_error>

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

struct FileSink
{
    int fd = -1;
    std::uint64_t written = 0;
    std::uint64_t limit = 0;
    int error = 0; // errno of a failed write
};

std::size_t writeToFile(char* data, std::size_t size, std::size_t count, void* user) noexcept
{
    auto* sink = static_cast<FileSink*>(user);
    const std::size_t bytes = size * count;
    if (bytes > sink->limit - sink->written) {
        return 0;
    }
    for (std::size_t done = 0; done < bytes;) {
        const ssize_t written = ::write(sink->fd, data + done, bytes - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            sink->error = written < 0 ? errno : EIO;
            return 0;
        }
        done += static_cast<std::size_t>(written);
    }
    sink->written += bytes;
    return bytes;
}

int abortWhenStopped(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept
{
    return static_cast<const std::stop_token*>(user)->stop_requested() ? 1 : 0;
}

// Collects curl_easy_setopt results, so that one unset option fails the request.
struct Options
{
    CURL* handle;
    bool ok = true;

    template <typename Value> void set(CURLoption option, Value value)
    {
        ok = ok && curl_easy_setopt(handle, option, value) == CURLE_OK;
    }
};

// What every request shares: plain GET over http(s), redirects never from https down to http,
// a size cap and the trusted certificates.
void setCommonOptions(Options& options, const std::string& url, const std::string& scheme, std::uint64_t maxBytes,
                      const std::string& caFile)
{
    const auto maxFileSize =
        static_cast<curl_off_t>(std::min<std::uint64_t>(maxBytes, std::numeric_limits<curl_off_t>::max()));
    options.set(CURLOPT_URL, url.c_str());
    options.set(CURLOPT_HTTPGET, 1L);
    options.set(CURLOPT_NOSIGNAL, 1L);
    options.set(CURLOPT_PROTOCOLS_STR, "http,https");
    // Once a request went out over TLS, no redirect may take it back to plain text.
    options.set(CURLOPT_REDIR_PROTOCOLS_STR, scheme == "https" ? "https" : "http,https");
    options.set(CURLOPT_FOLLOWLOCATION, 1L);
    options.set(CURLOPT_MAXREDIRS, 10L);
    options.set(CURLOPT_MAXFILESIZE_LARGE, maxFileSize);
    if (!caFile.empty()) {
        options.set(CURLOPT_CAINFO, caFile.c_str());
    }
}

long statusOf(CURL* handle)
{
    long status = 0;
    return curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK ? status : 0;
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
    BodySink sink{&response.body, maxBodyBytes};
    const auto timeoutMs = std::max<long long>(1, std::chrono::milliseconds(timeout).count());
    Options options{curl.get()};
    setCommonOptions(options, url, scheme, maxBodyBytes, m_caFile);
    options.set(CURLOPT_TIMEOUT_MS,
                static_cast<long>(std::min<long long>(timeoutMs, std::numeric_limits<long>::max())));
    options.set(CURLOPT_WRITEFUNCTION, &collectBody);
    options.set(CURLOPT_WRITEDATA, static_cast<void*>(&sink));
    const long status = options.ok && curl_easy_perform(curl.get()) == CURLE_OK ? statusOf(curl.get()) : 0;
    if (status == 0) {
        response.body.clear();
        return response;
    }
    response.transportOk = true;
    response.status = status;
    return response;
}

HttpResponse CurlHttpClient::download(const std::string& url, const std::filesystem::path& file, std::uint64_t maxBytes,
                                      std::stop_token stop)
{
    HttpResponse response;
    const std::string scheme = schemeOf(url);
    const std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if ((scheme != "http" && scheme != "https") || !curl) {
        return response;
    }
    FileSink sink{::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600), 0, maxBytes};
    if (sink.fd < 0) {
        throw std::system_error(errno, std::generic_category(), file.string());
    }
    Options options{curl.get()};
    setCommonOptions(options, url, scheme, maxBytes, m_caFile);
    // No limit on the whole transfer, which may be large on a slow line; one that stalls ends.
    options.set(CURLOPT_CONNECTTIMEOUT, 30L);
    options.set(CURLOPT_LOW_SPEED_LIMIT, 1L);
    options.set(CURLOPT_LOW_SPEED_TIME, 60L);
    options.set(CURLOPT_WRITEFUNCTION, &writeToFile);
    options.set(CURLOPT_WRITEDATA, static_cast<void*>(&sink));
    options.set(CURLOPT_NOPROGRESS, 0L);
    options.set(CURLOPT_XFERINFOFUNCTION, &abortWhenStopped);
    options.set(CURLOPT_XFERINFODATA, static_cast<void*>(&stop));
    const CURLcode result = options.ok ? curl_easy_perform(curl.get()) : CURLE_FAILED_INIT;
    const bool closed = ::fsync(sink.fd) == 0 && ::close(sink.fd) == 0;
    if (sink.error != 0 || (result == CURLE_OK && !closed)) {
        throw std::system_error(sink.error != 0 ? sink.error : errno, std::generic_category(), file.string());
    }
    if (stop.stop_requested()) {
        throw Cancelled();
    }
    response.status = result == CURLE_OK ? statusOf(curl.get()) : 0;
    response.transportOk = response.status != 0;
    return response;
}

} // namespace lumafold
