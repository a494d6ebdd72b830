// SPDX-License-Identifier: AGPL-3.0-or-later
#include "tests/core/update/ManifestServer.h"

#include "tests/support/Qpdf.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace lumafold::test {

namespace {

std::string readLine(int fd)
{
    std::string line;
    char c = 0;
    while (read(fd, &c, 1) == 1 && c != '\n') {
        line.push_back(c);
    }
    return line;
}

} // namespace

ManifestServer::ManifestServer()
{
    const auto generated = runProcess({OPENSSL_EXECUTABLE, "req", "-x509", "-newkey", "ec", "-pkeyopt",
                                       "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj", "/CN=localhost",
                                       "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost", "-keyout",
                                       (m_dir / "key.pem").string(), "-out", (m_dir / "cert.pem").string()});
    if (generated.exitCode != 0) {
        throw std::runtime_error("openssl could not make a certificate: " + generated.errors);
    }

    // Close-on-exec everywhere, so the server holds only its own ends: when this process
    // closes (or loses) the write end of stdin, the server sees the end of input and stops.
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<std::string> argv = {PYTHON3_EXECUTABLE,          MANIFEST_SERVER_SCRIPT, "--cert", caFile(), "--key",
                                     (m_dir / "key.pem").string()};
    std::vector<char*> args;
    for (auto& arg : argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);
    const int spawned = posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    m_stdin = in[1];
    if (spawned != 0) {
        close(out[0]);
        close(m_stdin);
        throw std::runtime_error("cannot start the manifest server");
    }
    const std::string line = readLine(out[0]);
    close(out[0]);
    const auto ports = nlohmann::json::parse(line, nullptr, false);
    if (!ports.is_object()) {
        close(m_stdin);
        waitpid(m_pid, nullptr, 0);
        throw std::runtime_error("the manifest server did not report its ports: " + line);
    }
    m_httpPort = ports.value("http", 0);
    m_httpsPort = ports.value("https", 0);
    m_silentPort = ports.value("silent", 0);
}

ManifestServer::~ManifestServer()
{
    close(m_stdin);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (waitpid(m_pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string ManifestServer::httpUrl(const std::string& pathAndQuery) const
{
    return "http://127.0.0.1:" + std::to_string(m_httpPort) + pathAndQuery;
}

std::string ManifestServer::httpsUrl(const std::string& pathAndQuery) const
{
    return "https://127.0.0.1:" + std::to_string(m_httpsPort) + pathAndQuery;
}

std::string ManifestServer::silentUrl() const
{
    return "http://127.0.0.1:" + std::to_string(m_silentPort) + "/latest.json";
}

std::string urlEncode(const std::string& text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '_' || byte == '.' || byte == '~') {
            encoded.push_back(c);
        } else {
            encoded += {'%', hex[byte >> 4], hex[byte & 0x0F]};
        }
    }
    return encoded;
}

std::string respondPath(int status, const std::string& body)
{
    return "/respond?status=" + std::to_string(status) + "&body=" + urlEncode(body);
}

} // namespace lumafold::test
