// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "support/TempDir.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

namespace lumafold::test {

// tests/core/update/manifest_server.py on 127.0.0.1 (see there for its paths): an HTTP and an
// HTTPS listener with a certificate of its own, and a port that never answers. Stops with this
// object, which closes its input.
class LoopbackServer
{
public:
    LoopbackServer()
    {
        setenv("no_proxy", "127.0.0.1,localhost", 1); // a proxy from the environment must not be asked
        m_server = popen(("exec " PYTHON3_EXECUTABLE " " MANIFEST_SERVER_SCRIPT " " + m_folder.path().string() +
                          " " OPENSSL_EXECUTABLE)
                             .c_str(),
                         "w");
        for (int i = 0; i < 2000 && !std::filesystem::exists(m_folder / "ports.json"); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_ports = nlohmann::json::parse(std::ifstream(m_folder / "ports.json"));
    }
    ~LoopbackServer() { pclose(m_server); }

    // listener: "http", "https" or "silent".
    std::string url(const char* scheme, const char* listener, const std::string& path) const
    {
        return scheme + std::string("://127.0.0.1:") + std::to_string(m_ports[listener].get<int>()) + path;
    }
    std::string http(const std::string& path) const { return url("http", "http", path); }
    std::string https(const std::string& path) const { return url("https", "https", path); }
    std::string caFile() const { return (m_folder / "cert.pem").string(); }
    // Served under /file/STATUS/NAME.
    const std::filesystem::path& folder() const { return m_folder.path(); }

private:
    TempDir m_folder;
    FILE* m_server = nullptr;
    nlohmann::json m_ports;
};

} // namespace lumafold::test
