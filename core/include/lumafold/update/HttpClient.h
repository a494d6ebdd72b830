// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stop_token>
#include <string>

namespace lumafold {

struct HttpResponse
{
    bool transportOk = false; // false: no response at all (network, TLS, time-out, body too large)
    long status = 0;          // final status after redirects
    std::string body;
};

// The HTTP session the update check runs on; tests point it at a loopback server.
class HttpClient
{
public:
    virtual ~HttpClient() = default;
    // A plain GET that follows redirects (never from https down to http), bypasses caches and
    // refuses bodies larger than maxBodyBytes.
    virtual HttpResponse get(const std::string& url, std::chrono::seconds timeout, std::size_t maxBodyBytes) = 0;
    // A GET like get() whose body goes into `file`, created new and private (its content is
    // undefined unless the status is 200). A body beyond maxBytes, or a transfer that stalls, is no
    // response. Throws Cancelled when `stop` asks, std::system_error when the file cannot be
    // written. This form holds the body in memory up to maxBytes; a client can stream it instead.
    virtual HttpResponse download(const std::string& url, const std::filesystem::path& file, std::uint64_t maxBytes,
                                  std::stop_token stop);
};

// libcurl behind HttpClient. Safe to use from one thread at a time; make one per thread.
class CurlHttpClient : public HttpClient
{
public:
    // caFile: extra certificate bundle to trust instead of the system one (tests); empty = system.
    explicit CurlHttpClient(std::string caFile = {});
    HttpResponse get(const std::string& url, std::chrono::seconds timeout, std::size_t maxBodyBytes) override;
    HttpResponse download(const std::string& url, const std::filesystem::path& file, std::uint64_t maxBytes,
                          std::stop_token stop) override;

private:
    std::string m_caFile;
};

} // namespace lumafold
