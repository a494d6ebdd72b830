// SPDX-License-Identifier: AGPL-3.0-or-later
#include "support/LoopbackServer.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace lumafold::test {

namespace {
constexpr const char* listeners[] = {"http", "https", "silent"};
}

LoopbackServer::LoopbackServer()
{
    setenv("no_proxy", "127.0.0.1,localhost", 1); // a proxy from the environment must not be asked
    const std::string command =
        "exec " PYTHON3_EXECUTABLE " " LOOPBACK_SERVER_SCRIPT " " + m_folder.path().string() + " " OPENSSL_EXECUTABLE;
    m_server = popen(command.c_str(), "w"); // the server stops when its input closes
    for (int i = 0; i < 2000 && !std::filesystem::exists(m_folder / "ports.json"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto ports = nlohmann::json::parse(std::ifstream(m_folder / "ports.json"));
    for (int i = 0; i < 3; ++i) {
        m_ports[i] = ports.at(listeners[i]).get<int>();
    }
}

LoopbackServer::~LoopbackServer()
{
    if (m_server) {
        pclose(m_server);
    }
}

std::string LoopbackServer::url(const char* scheme, const char* listener, const std::string& path) const
{
    for (int i = 0; i < 3; ++i) {
        if (std::string_view(listener) == listeners[i]) {
            return scheme + std::string("://127.0.0.1:") + std::to_string(m_ports[i]) + path;
        }
    }
    throw std::invalid_argument(listener);
}

} // namespace lumafold::test
