// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
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
};

// libcurl behind HttpClient. Safe to use from one thread at a time; make one per thread.
class CurlHttpClient : public HttpClient
{
public:
    // caFile: extra certificate bundle to trust instead of the system one (tests); empty = system.
    explicit CurlHttpClient(std::string caFile = {});
    HttpResponse get(const std::string& url, std::chrono::seconds timeout, std::size_t maxBodyBytes) override;

private:
    std::string m_caFile;
};

} // namespace lumafold
