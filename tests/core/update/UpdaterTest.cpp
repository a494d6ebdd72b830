// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/update/Updater.h"
#include "lumafold/update/HttpClient.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

namespace lumafold {

namespace {

using namespace std::chrono_literals;

TEST(IsNewer, ComparesPlainDottedVersions)
{
    // Numeric characters of other kinds pass the check but do not convert: they drop out, and the
    // components behind them move up; so do numbers too large to hold. A fullwidth two gives no
    // components (0 against 1).
    // clang-format off
    const std::tuple<std::string, std::string, bool> cases[] = {
        {"1.10", "1.9", true}, {"1.2.1", "1.2", true}, {"1.2", "1.2.0", false}, {"1.02", "1.2", false},
        {"", "1.0", false}, {"2.0", "", false}, {"v2.0", "1.0", false}, {"2..0", "1.0", false},
        {"1.3-beta", "1.2", false}, {"+2", "1", false}, {"2.\xFF", "1", false}, {"2.\u0663", "1", true},
        {"\uFF12", "1", false}, {"9223372036854775807", "9223372036854775806", true},
        {"99999999999999999999.1", "0.2", true}, {"9223372036854775808", "1", false}};
    // clang-format on
    for (const auto& [candidate, current, newer] : cases) {
        SCOPED_TRACE("\"" + candidate + "\" against \"" + current + "\"");
        EXPECT_EQ(Updater::isNewer(candidate, current), newer);
        EXPECT_FALSE(newer && Updater::isNewer(current, candidate));
    }
}

const std::string archive = "https://downloads.example.com/lumafold/Lumafold-2.1.0.zip";
const UpdateInfo update{"2.1.0", archive, "Faster previews."};

std::string manifest(const std::string& version, const std::string& url, const std::string& more = "")
{
    return R"({"version": )" + version + R"(, "url": )" + url + more + "}";
}

TEST(ParseManifest, AcceptsOnlyWellFormedNewerManifests)
{
    const std::string url = "\"" + archive + "\"";
    // Members it does not know are ignored, however deeply nested.
    const std::string nested = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_EQ(Updater::parseManifest(manifest("\"2.1.0\"", url, R"(, "notes": ["a"], "x": )" + nested), "2.0"),
              (UpdateInfo{"2.1.0", archive, ""}));
    EXPECT_EQ(Updater::parseManifest(
                  manifest("\"3\"", R"("https://me@EXAMPLE.com:8443/a%20b?x=1#f")", R"(, "notes": "\u00e9\n")"), "2.0"),
              (UpdateInfo{"3", "https://me@EXAMPLE.com:8443/a%20b?x=1#f", "\u00e9\n"}));
    // clang-format off
    const std::string rejected[] = {
        manifest("\"2.0\"", url), manifest("9.0", url), R"({"url": )" + url + "}", R"({"version": "9.0"})",
        manifest("\"9.0\"", "5"), manifest("\"9.0\"", R"("http://example.com/a.zip")"),
        manifest("\"9.0\"", R"("HTTPS://example.com/a.zip")"), manifest("\"9.0\"", R"("https:///x")"),
        manifest("\"9.0\"", R"("https://:443/x")"), manifest("\"9.0\"", R"("https://exa mple.com/a.zip")"),
        "[" + manifest("\"9.0\"", url) + "]", manifest("\"9.0\"", url, ","), manifest("\"9.0\"", url) + " x",
        manifest("\"9.0\xFF\"", url), ""};
    // clang-format on
    for (const auto& body : rejected) {
        SCOPED_TRACE(body);
        EXPECT_EQ(Updater::parseManifest(body, "2.0"), std::nullopt);
    }
}

// Passes the request on with a short time-out, so that a silent server does not hold the test for
// the full time; or fails outright.
struct ShortTimeoutSession : HttpClient
{
    HttpResponse get(const std::string& url, std::chrono::seconds, std::size_t maxBodyBytes) override
    {
        if (fails) {
            throw std::bad_alloc();
        }
        return CurlHttpClient().get(url, 1s, maxBodyBytes);
    }
    bool fails = false;
};

// The check against the loopback server; a silent server or a failing session gives nothing too.
TEST(UpdateCheck, ManifestsFromTheServer)
{
    const test::LoopbackServer s;
    const UpdateInfo sized{"9.0", "https://downloads.example.com/lumafold-9.0.zip", ""};
    // Never down from https to http; at most ten redirects; at most 1 MiB, announced or not.
    // clang-format off
    const std::pair<std::string, std::optional<UpdateInfo>> cases[] = {
        {s.https("/manifest/200"), update}, {s.http("/manifest/200"), update}, {s.https("/manifest/201"), std::nullopt},
        {s.http("/redirect/302/" + s.https("/manifest/200")), update},
        {s.https("/redirect/302/" + s.http("/manifest/200")), std::nullopt},
        {s.http("/redirect/302/file:///etc/hostname"), std::nullopt}, {"file:///etc/hostname", std::nullopt},
        {s.https("/chain/9//manifest/200"), update}, {s.https("/chain/10//manifest/200"), std::nullopt},
        {s.https("/sized/1048577"), std::nullopt}, {s.https("/sized/1048576/unannounced"), sized},
        {s.https("/sized/1048577/unannounced"), std::nullopt}};
    // clang-format on
    CurlHttpClient client(s.caFile());
    for (const auto& [url, expected] : cases) {
        SCOPED_TRACE(url);
        EXPECT_EQ(Updater::check(url, "2.0", client), expected);
    }
    CurlHttpClient systemTrust; // the server's own certificate is not trusted
    EXPECT_EQ(Updater::check(s.https("/manifest/200"), "2.0", systemTrust), std::nullopt);

    ShortTimeoutSession session;
    EXPECT_EQ(Updater::check(s.url("http", "silent", "/"), "2.0", session), std::nullopt);
    session.fails = true;
    EXPECT_EQ(Updater::check(s.http("/manifest/200"), "2.0", session), std::nullopt);
}

} // namespace
} // namespace lumafold
