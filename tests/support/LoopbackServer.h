// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "support/TempDir.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace lumafold::test {

// tests/core/update/manifest_server.py on 127.0.0.1 (see there for its paths): an HTTP and an HTTPS listener with
// their own certificate, and a port that never answers. Stops with this object.
class LoopbackServer
{
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // listener: "http", "https" or "silent".
    std::string url(const char* scheme, const char* listener, const std::string& path) const;
    std::string http(const std::string& path) const { return url("http", "http", path); }
    std::string https(const std::string& path) const { return url("https", "https", path); }
    // The certificate to trust for the HTTPS listener.
    std::string caFile() const { return (m_folder / "cert.pem").string(); }
    // Served under /file/STATUS/NAME.
    const std::filesystem::path& folder() const { return m_folder.path(); }

private:
    TempDir m_folder;
    FILE* m_server = nullptr;
    int m_ports[3] = {};
};

} // namespace lumafold::test
