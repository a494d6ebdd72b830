// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/update/Updater.h"
#include "tests/core/update/PrintUpdateInfo.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace lumafold {
namespace {

struct VersionCase
{
    std::string candidate;
    std::string current;
    bool newer;
};

TEST(IsNewer, ComparesPlainDottedVersions)
{
    const std::vector<VersionCase> cases = {
        {"1.10", "1.9", true},
        {"1.2.1", "1.2", true},
        {"1.2", "1.2.0", false},
        {"2", "1.99.99", true},
        {"1.0", "1.0", false},
        {"0.9", "1.0", false},
        {"v2.0", "1.0", false},
        {"2.0", "1.0 ", false},
        {"2..0", "1.0", false},
        {"1.3", "1.3-beta", false},
        {"1.3-beta", "1.2", false},
        {"", "1.0", false},
        {"2.0", "", false},
        {"2.0", "2", false},
        {"1.2.0", "1.2", false},
        {"1.02", "1.2", false},
        {"1.2", "1.02", false},
        {"1.3", "1.02", true},
        {"10", "9", true},
        {"0.0.1", "0", true},
        {"1.2.3.4.5.6", "1.2.3.4.5", true},
        {"9223372036854775807", "9223372036854775806", true},
        {".5", "0", false},
        {"3.", "2", false},
        {".", "0", false},
        {"+2", "1", false},
        {"-2", "1", false},
        {"2", "-1", false},
        {" 2", "1", false},
        {"2.0a", "1", false},
        {"2.0", "1.x", false},
        {"2.\xFF", "1", false}, // not UTF-8
        // Numeric characters of other kinds pass the check but do not convert: they drop out,
        // and the components behind them move up.
        {"2.\u0663", "1", true},                 // Arabic-Indic three
        {"1.\u0663", "1", false},                // 1 against 1
        {"2.\u00B2", "1", true},                 // superscript two
        {"2.\u00BD", "1", true},                 // vulgar fraction one half
        {"2.\u2167", "1", true},                 // Roman numeral eight
        {"\uFF12", "1", false},                  // fullwidth two: no components, so 0 against 1
        {"1.\uFF15", "1.4", false},              // 1 against 1.4
        {"2.\u4E00", "1", false},                // a Han numeral is a letter
        {"2.1\u0301", "1", false},               // a combining mark is not numeric
        {"99999999999999999999.1", "0.2", true}, // 1 against 0.2
        {"1.99999999999999999999", "1", false},
        {"9223372036854775808", "1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.candidate + "\" against \"" + c.current + "\"");
        EXPECT_EQ(Updater::isNewer(c.candidate, c.current), c.newer);
        if (c.newer) {
            EXPECT_FALSE(Updater::isNewer(c.current, c.candidate));
        }
        EXPECT_FALSE(Updater::isNewer(c.candidate, c.candidate));
    }
}

struct ManifestCase
{
    const char* name;
    std::string body;
    std::optional<UpdateInfo> expected;
};

TEST(ParseManifest, AcceptsOnlyWellFormedNewerManifests)
{
    const std::string url = "https://downloads.example.com/lumafold/Lumafold-2.1.0.zip";
    const std::vector<ManifestCase> cases = {
        {"complete", R"({"version": "2.1.0", "url": ")" + url + R"(", "notes": "Faster previews."})",
         UpdateInfo{"2.1.0", url, "Faster previews."}},
        {"without notes", R"({"version": "2.1.0", "url": ")" + url + R"("})", UpdateInfo{"2.1.0", url, ""}},
        {"notes not text", R"({"version": "2.1.0", "url": ")" + url + R"(", "notes": ["a"]})",
         UpdateInfo{"2.1.0", url, ""}},
        {"other members", R"({"size": 12, "version": "2.1.0", "url": ")" + url + R"(", "sha": null})",
         UpdateInfo{"2.1.0", url, ""}},
        {"url kept as written", R"({"version": "3", "url": "https://EXAMPLE.com:8443/a%20b?x=1#f"})",
         UpdateInfo{"3", "https://EXAMPLE.com:8443/a%20b?x=1#f", ""}},
        {"url with user", R"({"version": "3", "url": "https://me@example.com/u"})",
         UpdateInfo{"3", "https://me@example.com/u", ""}},
        {"url with IPv6 host", R"({"version": "3", "url": "https://[::1]/u"})", UpdateInfo{"3", "https://[::1]/u", ""}},
        {"escaped text", R"({"version": "2.1", "url": ")" + url + R"(", "notes": "\u00e9\n\"x\""})",
         UpdateInfo{"2.1", url, "\u00e9\n\"x\""}},
        {"same version", R"({"version": "2.0", "url": ")" + url + R"("})", std::nullopt},
        {"older version", R"({"version": "1.9.9", "url": ")" + url + R"("})", std::nullopt},
        {"suffixed version", R"({"version": "2.1-beta", "url": ")" + url + R"("})", std::nullopt},
        {"version number", R"({"version": 9.0, "url": ")" + url + R"("})", std::nullopt},
        {"version missing", R"({"url": ")" + url + R"("})", std::nullopt},
        {"version null", R"({"version": null, "url": ")" + url + R"("})", std::nullopt},
        {"url missing", R"({"version": "9.0"})", std::nullopt},
        {"url number", R"({"version": "9.0", "url": 5})", std::nullopt},
        {"url plain http", R"({"version": "9.0", "url": "http://example.com/a.zip"})", std::nullopt},
        {"url upper-case scheme", R"({"version": "9.0", "url": "HTTPS://example.com/a.zip"})", std::nullopt},
        {"url mixed-case scheme", R"({"version": "9.0", "url": "Https://example.com/a.zip"})", std::nullopt},
        {"url without host", R"({"version": "9.0", "url": "https:///x"})", std::nullopt},
        {"url scheme only", R"({"version": "9.0", "url": "https://"})", std::nullopt},
        {"url port without host", R"({"version": "9.0", "url": "https://:443/x"})", std::nullopt},
        {"url one slash", R"({"version": "9.0", "url": "https:/example.com/x"})", std::nullopt},
        {"url other scheme", R"({"version": "9.0", "url": "ftp://example.com/a.zip"})", std::nullopt},
        {"url relative", R"({"version": "9.0", "url": "/lumafold/a.zip"})", std::nullopt},
        {"url with space", R"({"version": "9.0", "url": "https://exa mple.com/a.zip"})", std::nullopt},
        {"url empty", R"({"version": "9.0", "url": ""})", std::nullopt},
        {"top-level array", R"([{"version": "9.0", "url": ")" + url + R"("}])", std::nullopt},
        {"top-level string", R"("9.0")", std::nullopt},
        {"invalid JSON", R"({"version": "9.0", "url": ")" + url + R"(",})", std::nullopt},
        {"trailing garbage", R"({"version": "9.0", "url": ")" + url + R"("} x)", std::nullopt},
        {"comment", R"({"version": "9.0", /* c */ "url": ")" + url + R"("})", std::nullopt},
        {"empty body", "", std::nullopt},
        {"not UTF-8", "{\"version\": \"9.0\xFF\", \"url\": \"" + url + "\"}", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Updater::parseManifest(c.body, "2.0"), c.expected);
    }
}

TEST(ParseManifest, DeeplyNestedInputIsRejectedWithoutCrashing)
{
    const std::string nested = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_EQ(Updater::parseManifest(nested, "1.0"), std::nullopt);
    const std::string inside = R"({"version": "2", "url": "https://example.com/a", "x": )" + nested + "}";
    EXPECT_EQ(Updater::parseManifest(inside, "1.0"), (UpdateInfo{"2", "https://example.com/a", ""}));
}

} // namespace
} // namespace lumafold
