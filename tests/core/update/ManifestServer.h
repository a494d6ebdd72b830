// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "tests/support/TempDir.h"

#include <string>
#include <sys/types.h>

namespace lumafold::test {

// manifest_server.py on loopback: a plain HTTP listener, an HTTPS listener with a certificate
// made for this run, and a port that accepts connections but never answers. The paths it
// serves are described in the script.
class ManifestServer
{
public:
    ManifestServer();
    ~ManifestServer();
    ManifestServer(const ManifestServer&) = delete;
    ManifestServer& operator=(const ManifestServer&) = delete;

    std::string httpUrl(const std::string& pathAndQuery) const;
    std::string httpsUrl(const std::string& pathAndQuery) const;
    std::string silentUrl() const;
    // The certificate of the HTTPS listener, to be trusted by the client under test.
    std::string caFile() const { return (m_dir / "cert.pem").string(); }

private:
    TempDir m_dir;
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_httpPort = 0;
    int m_httpsPort = 0;
    int m_silentPort = 0;
};

// Percent-encodes everything but unreserved characters, for query values.
std::string urlEncode(const std::string& text);

// The /respond path for a status and body.
std::string respondPath(int status, const std::string& body);

} // namespace lumafold::test
