// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/update/HttpClient.h"
#include "core/update/Updater.h"
#include "tests/core/update/ManifestServer.h"
#include "tests/core/update/PrintUpdateInfo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace lumafold {
namespace {

using test::respondPath;
using test::urlEncode;
using namespace std::chrono_literals;

constexpr const char* archiveUrl = "https://downloads.example.com/lumafold/Lumafold-2.1.0.zip";

std::string manifest(const std::string& version, const std::string& url, const std::string& extra = {})
{
    return R"({"version": ")" + version + R"(", "url": ")" + url + R"(")" + extra + "}";
}

const std::string validManifest = manifest("2.1.0", archiveUrl, R"(, "notes": "Faster previews.")");
const UpdateInfo validUpdate{"2.1.0", archiveUrl, "Faster previews."};

// A port nobody listens on: bound once to learn a free number, then released.
int closedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot find a free port");
    }
    close(fd);
    return ntohs(address.sin_port);
}

// Passes requests on to a real client, remembering what the check asked for and shortening the
// time-out so that a silent server does not hold the test for the full ten seconds.
class ShortTimeoutSession : public HttpClient
{
public:
    explicit ShortTimeoutSession(HttpClient& inner) : m_inner(inner) {}
    HttpResponse get(const std::string& url, std::chrono::seconds timeout, std::size_t maxBodyBytes) override
    {
        requestedTimeout = timeout;
        requestedMaxBytes = maxBodyBytes;
        return m_inner.get(url, std::min(timeout, std::chrono::seconds(1)), maxBodyBytes);
    }
    std::chrono::seconds requestedTimeout{};
    std::size_t requestedMaxBytes = 0;

private:
    HttpClient& m_inner;
};

class ThrowingSession : public HttpClient
{
public:
    HttpResponse get(const std::string&, std::chrono::seconds, std::size_t) override
    {
        throw std::runtime_error("no session");
    }
};

class UpdateCheck : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // A proxy from the environment must not be asked for loopback addresses.
        setenv("no_proxy", "127.0.0.1,localhost", 1);
        server = std::make_unique<test::ManifestServer>();
        client = std::make_unique<CurlHttpClient>(server->caFile());
    }
    static void TearDownTestSuite()
    {
        client.reset();
        server.reset();
    }

    static inline std::unique_ptr<test::ManifestServer> server;
    static inline std::unique_ptr<CurlHttpClient> client;
};

struct CheckCase
{
    std::string name;
    std::string url;
    std::optional<UpdateInfo> expected;
};

TEST_F(UpdateCheck, ManifestsFromTheServer)
{
    const std::string valid = respondPath(200, validManifest);
    const auto redirect = [](int status, const std::string& to) {
        return "/redirect?status=" + std::to_string(status) + "&to=" + urlEncode(to);
    };
    const std::vector<CheckCase> cases = {
        {"valid over https", server->httpsUrl(valid), validUpdate},
        {"valid over http", server->httpUrl(valid), validUpdate},
        {"notes absent", server->httpsUrl(respondPath(200, manifest("2.1.0", archiveUrl))),
         UpdateInfo{"2.1.0", archiveUrl, ""}},
        {"same version", server->httpsUrl(respondPath(200, manifest("2.0", archiveUrl))), std::nullopt},
        {"older version", server->httpsUrl(respondPath(200, manifest("1.9", archiveUrl))), std::nullopt},
        {"status 404", server->httpsUrl(respondPath(404, validManifest)), std::nullopt},
        {"status 201", server->httpsUrl(respondPath(201, validManifest)), std::nullopt},
        {"status 203", server->httpsUrl(respondPath(203, validManifest)), std::nullopt},
        {"status 204", server->httpsUrl(respondPath(204, validManifest)), std::nullopt},
        {"status 304", server->httpsUrl(respondPath(304, validManifest)), std::nullopt},
        {"status 500", server->httpsUrl(respondPath(500, validManifest)), std::nullopt},
        {"unknown path", server->httpsUrl("/lumafold/latest.json"), std::nullopt},
        {"redirect 301 to 200", server->httpUrl(redirect(301, server->httpUrl(valid))), validUpdate},
        {"redirect 302 to 200", server->httpUrl(redirect(302, server->httpUrl(valid))), validUpdate},
        {"redirect 303 to 200", server->httpUrl(redirect(303, server->httpUrl(valid))), validUpdate},
        {"redirect 307 to 200", server->httpUrl(redirect(307, server->httpUrl(valid))), validUpdate},
        {"redirect 308 to 200", server->httpUrl(redirect(308, server->httpUrl(valid))), validUpdate},
        {"relative redirect", server->httpsUrl(redirect(302, valid)), validUpdate},
        {"redirect to 404", server->httpsUrl(redirect(302, server->httpsUrl(respondPath(404, validManifest)))),
         std::nullopt},
        {"redirect to 304", server->httpUrl(redirect(302, server->httpUrl(respondPath(304, "")))), std::nullopt},
        {"https to https", server->httpsUrl(redirect(302, server->httpsUrl(valid))), validUpdate},
        {"http up to https", server->httpUrl(redirect(302, server->httpsUrl(valid))), validUpdate},
        {"https down to http", server->httpsUrl(redirect(302, server->httpUrl(valid))), std::nullopt},
        {"https down to http, 301", server->httpsUrl(redirect(301, server->httpUrl(valid))), std::nullopt},
        {"ten redirects", server->httpsUrl("/chain?hops=9&to=" + urlEncode(valid)), validUpdate},
        {"eleven redirects", server->httpsUrl("/chain?hops=10&to=" + urlEncode(valid)), std::nullopt},
        {"invalid JSON", server->httpsUrl(respondPath(200, "{\"version\": \"2.1.0\",")), std::nullopt},
        {"top-level array", server->httpsUrl(respondPath(200, "[" + validManifest + "]")), std::nullopt},
        {"version as number",
         server->httpsUrl(respondPath(200, R"({"version": 9.0, "url": ")" + std::string(archiveUrl) + R"("})")),
         std::nullopt},
        {"url http", server->httpsUrl(respondPath(200, manifest("9.0", "http://downloads.example.com/a.zip"))),
         std::nullopt},
        {"url without host", server->httpsUrl(respondPath(200, manifest("9.0", "https:///x"))), std::nullopt},
        {"url upper-case HTTPS",
         server->httpsUrl(respondPath(200, manifest("9.0", "HTTPS://downloads.example.com/a.zip"))), std::nullopt},
        {"body of exactly 1 MiB", server->httpsUrl("/sized?bytes=1048576&length=1"),
         UpdateInfo{"9.0", "https://downloads.example.com/lumafold-9.0.zip", ""}},
        {"body of 1 MiB + 1", server->httpsUrl("/sized?bytes=1048577&length=1"), std::nullopt},
        {"unannounced body of exactly 1 MiB", server->httpsUrl("/sized?bytes=1048576&length=0"),
         UpdateInfo{"9.0", "https://downloads.example.com/lumafold-9.0.zip", ""}},
        {"unannounced body of 1 MiB + 1", server->httpsUrl("/sized?bytes=1048577&length=0"), std::nullopt},
        {"unannounced body of 5 MiB", server->httpUrl("/sized?bytes=5242880&length=0"), std::nullopt},
        {"connection refused", "http://127.0.0.1:" + std::to_string(closedPort()) + valid, std::nullopt},
        {"not a URL", "not a url", std::nullopt},
        {"file URL", "file:///etc/hostname", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + ": " + c.url);
        EXPECT_EQ(Updater::check(c.url, "2.0", *client), c.expected);
    }
}

TEST_F(UpdateCheck, UntrustedCertificateGivesNothing)
{
    const std::string url = server->httpsUrl(respondPath(200, validManifest));
    ASSERT_EQ(Updater::check(url, "2.0", *client), validUpdate);
    CurlHttpClient systemTrust;
    EXPECT_EQ(Updater::check(url, "2.0", systemTrust), std::nullopt);
    EXPECT_FALSE(systemTrust.get(url, 10s, 1024).transportOk);
}

TEST_F(UpdateCheck, AsksForTenSecondsAndOneMebibyte)
{
    ShortTimeoutSession session(*client);
    EXPECT_EQ(Updater::check(server->httpUrl(respondPath(200, validManifest)), "2.0", session), validUpdate);
    EXPECT_EQ(session.requestedTimeout, 10s);
    EXPECT_EQ(session.requestedMaxBytes, 1024u * 1024u);
}

TEST_F(UpdateCheck, ServerThatNeverAnswersGivesNothing)
{
    ShortTimeoutSession session(*client);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Updater::check(server->silentUrl(), "2.0", session), std::nullopt);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 900ms);
    EXPECT_LT(elapsed, 5s);
}

TEST_F(UpdateCheck, FailingSessionGivesNothing)
{
    ThrowingSession session;
    EXPECT_EQ(Updater::check(server->httpUrl(respondPath(200, validManifest)), "2.0", session), std::nullopt);
}

TEST_F(UpdateCheck, ClientReportsFinalStatusAndBody)
{
    const std::string notFound = server->httpUrl(respondPath(404, "gone"));
    auto response = client->get(server->httpUrl("/redirect?to=" + urlEncode(notFound)), 10s, 1024);
    EXPECT_TRUE(response.transportOk);
    EXPECT_EQ(response.status, 404);
    EXPECT_EQ(response.body, "gone");

    response = client->get(server->httpsUrl(respondPath(201, "made")), 10s, 1024);
    EXPECT_TRUE(response.transportOk);
    EXPECT_EQ(response.status, 201);
    EXPECT_EQ(response.body, "made");
}

TEST_F(UpdateCheck, ClientRefusesBodiesOverTheLimit)
{
    struct Case
    {
        std::string path;
        std::size_t limit;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"/sized?bytes=200&length=1", 200, true},      {"/sized?bytes=201&length=1", 200, false},
        {"/sized?bytes=200&length=0", 200, true},      {"/sized?bytes=201&length=0", 200, false},
        {"/sized?bytes=70000&length=0", 69999, false},
    };
    for (const auto& c : cases) {
        for (const auto& url : {server->httpUrl(c.path), server->httpsUrl(c.path)}) {
            SCOPED_TRACE(url + " limit " + std::to_string(c.limit));
            const auto response = client->get(url, 10s, c.limit);
            EXPECT_EQ(response.transportOk, c.accepted);
            if (c.accepted) {
                EXPECT_EQ(response.body.size(), c.limit);
            }
        }
    }
}

TEST_F(UpdateCheck, ClientSpeaksOnlyHttpAndHttps)
{
    const std::vector<std::string> urls = {
        "file:///etc/hostname",
        "ftp://127.0.0.1/",
        "dict://127.0.0.1/",
        "gopher://127.0.0.1/",
        "",
        "://nothing",
        server->httpUrl("/redirect?to=" + urlEncode("file:///etc/hostname")),
        server->httpUrl("/redirect?to=" + urlEncode("ftp://127.0.0.1/x")),
        server->httpsUrl("/redirect?to=" + urlEncode(server->httpUrl(respondPath(200, "plain")))),
    };
    for (const auto& url : urls) {
        SCOPED_TRACE(url);
        const auto response = client->get(url, 10s, 1024);
        EXPECT_FALSE(response.transportOk);
        EXPECT_TRUE(response.body.empty());
    }
}

} // namespace
} // namespace lumafold
