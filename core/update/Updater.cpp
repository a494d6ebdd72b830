// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/update/Updater.h"

#include "core/Utf8.h"

#include <curl/curl.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

namespace lumafold::Updater {

namespace {

struct CodePointRange
{
    char32_t first;
    char32_t last;
};

// Unicode general category N (Nd, Nl, No), Unicode 14.
constexpr CodePointRange numericRanges[] = {
    {0x0030, 0x0039},   {0x00B2, 0x00B3},   {0x00B9, 0x00B9},   {0x00BC, 0x00BE},   {0x0660, 0x0669},
    {0x06F0, 0x06F9},   {0x07C0, 0x07C9},   {0x0966, 0x096F},   {0x09E6, 0x09EF},   {0x09F4, 0x09F9},
    {0x0A66, 0x0A6F},   {0x0AE6, 0x0AEF},   {0x0B66, 0x0B6F},   {0x0B72, 0x0B77},   {0x0BE6, 0x0BF2},
    {0x0C66, 0x0C6F},   {0x0C78, 0x0C7E},   {0x0CE6, 0x0CEF},   {0x0D58, 0x0D5E},   {0x0D66, 0x0D78},
    {0x0DE6, 0x0DEF},   {0x0E50, 0x0E59},   {0x0ED0, 0x0ED9},   {0x0F20, 0x0F33},   {0x1040, 0x1049},
    {0x1090, 0x1099},   {0x1369, 0x137C},   {0x16EE, 0x16F0},   {0x17E0, 0x17E9},   {0x17F0, 0x17F9},
    {0x1810, 0x1819},   {0x1946, 0x194F},   {0x19D0, 0x19DA},   {0x1A80, 0x1A89},   {0x1A90, 0x1A99},
    {0x1B50, 0x1B59},   {0x1BB0, 0x1BB9},   {0x1C40, 0x1C49},   {0x1C50, 0x1C59},   {0x2070, 0x2070},
    {0x2074, 0x2079},   {0x2080, 0x2089},   {0x2150, 0x2182},   {0x2185, 0x2189},   {0x2460, 0x249B},
    {0x24EA, 0x24FF},   {0x2776, 0x2793},   {0x2CFD, 0x2CFD},   {0x3007, 0x3007},   {0x3021, 0x3029},
    {0x3038, 0x303A},   {0x3192, 0x3195},   {0x3220, 0x3229},   {0x3248, 0x324F},   {0x3251, 0x325F},
    {0x3280, 0x3289},   {0x32B1, 0x32BF},   {0xA620, 0xA629},   {0xA6E6, 0xA6EF},   {0xA830, 0xA835},
    {0xA8D0, 0xA8D9},   {0xA900, 0xA909},   {0xA9D0, 0xA9D9},   {0xA9F0, 0xA9F9},   {0xAA50, 0xAA59},
    {0xABF0, 0xABF9},   {0xFF10, 0xFF19},   {0x10107, 0x10133}, {0x10140, 0x10178}, {0x1018A, 0x1018B},
    {0x102E1, 0x102FB}, {0x10320, 0x10323}, {0x10341, 0x10341}, {0x1034A, 0x1034A}, {0x103D1, 0x103D5},
    {0x104A0, 0x104A9}, {0x10858, 0x1085F}, {0x10879, 0x1087F}, {0x108A7, 0x108AF}, {0x108FB, 0x108FF},
    {0x10916, 0x1091B}, {0x109BC, 0x109BD}, {0x109C0, 0x109CF}, {0x109D2, 0x109FF}, {0x10A40, 0x10A48},
    {0x10A7D, 0x10A7E}, {0x10A9D, 0x10A9F}, {0x10AEB, 0x10AEF}, {0x10B58, 0x10B5F}, {0x10B78, 0x10B7F},
    {0x10BA9, 0x10BAF}, {0x10CFA, 0x10CFF}, {0x10D30, 0x10D39}, {0x10E60, 0x10E7E}, {0x10F1D, 0x10F26},
    {0x10F51, 0x10F54}, {0x10FC5, 0x10FCB}, {0x11052, 0x1106F}, {0x110F0, 0x110F9}, {0x11136, 0x1113F},
    {0x111D0, 0x111D9}, {0x111E1, 0x111F4}, {0x112F0, 0x112F9}, {0x11450, 0x11459}, {0x114D0, 0x114D9},
    {0x11650, 0x11659}, {0x116C0, 0x116C9}, {0x11730, 0x1173B}, {0x118E0, 0x118F2}, {0x11950, 0x11959},
    {0x11C50, 0x11C6C}, {0x11D50, 0x11D59}, {0x11DA0, 0x11DA9}, {0x11FC0, 0x11FD4}, {0x12400, 0x1246E},
    {0x16A60, 0x16A69}, {0x16AC0, 0x16AC9}, {0x16B50, 0x16B59}, {0x16B5B, 0x16B61}, {0x16E80, 0x16E96},
    {0x1D2E0, 0x1D2F3}, {0x1D360, 0x1D378}, {0x1D7CE, 0x1D7FF}, {0x1E140, 0x1E149}, {0x1E2F0, 0x1E2F9},
    {0x1E8C7, 0x1E8CF}, {0x1E950, 0x1E959}, {0x1EC71, 0x1ECAB}, {0x1ECAD, 0x1ECAF}, {0x1ECB1, 0x1ECB4},
    {0x1ED01, 0x1ED2D}, {0x1ED2F, 0x1ED3D}, {0x1F100, 0x1F10C}, {0x1FBF0, 0x1FBF9},
};

bool isUnicodeNumeric(char32_t c)
{
    const auto* it = std::upper_bound(std::begin(numericRanges), std::end(numericRanges), c,
                                      [](char32_t value, const CodePointRange& range) { return value < range.first; });
    return it != std::begin(numericRanges) && c <= std::prev(it)->last;
}

// True when every character of the piece is numeric. Text that is not well-formed UTF-8 is not.
bool isNumericText(std::string_view piece)
{
    const auto characters = Utf8::decode(piece);
    return std::all_of(characters.begin(), characters.end(), [](char32_t c) { return isUnicodeNumeric(c); });
}

// ASCII decimal digits only, and the value must fit.
std::optional<std::int64_t> asciiValue(std::string_view piece)
{
    std::int64_t value = 0;
    for (const char c : piece) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const std::int64_t digit = c - '0';
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

// The comparable components of a plain dotted version, or nothing when it is not one.
std::optional<std::vector<std::int64_t>> components(std::string_view version)
{
    std::vector<std::int64_t> result;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = std::min(version.find('.', start), version.size());
        const std::string_view piece = version.substr(start, dot - start);
        if (piece.empty() || !isNumericText(piece)) {
            return std::nullopt;
        }
        // Numeric pieces in other scripts, or too large, are skipped rather than compared.
        if (const auto value = asciiValue(piece)) {
            result.push_back(*value);
        }
        if (dot == version.size()) {
            return result;
        }
        start = dot + 1;
    }
}

struct UrlHandleDeleter
{
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

struct CurlTextDeleter
{
    void operator()(char* text) const { curl_free(text); }
};

// Scheme exactly "https" as written, and a non-empty host.
bool isHttpsUrlWithHost(const std::string& url)
{
    // curl lower-cases the scheme and reads "https:///x" as host "x", so the text as written
    // decides both: a lower-case scheme and an authority whose host part is not empty.
    constexpr std::string_view prefix = "https://";
    if (!url.starts_with(prefix)) {
        return false;
    }
    std::string_view authority = std::string_view(url).substr(prefix.size());
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    if (!authority.starts_with('[')) {
        authority = authority.substr(0, authority.rfind(':'));
    }
    if (authority.empty()) {
        return false;
    }
    const std::unique_ptr<CURLU, UrlHandleDeleter> handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return false;
    }
    char* rawScheme = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_SCHEME, &rawScheme, 0) != CURLUE_OK) {
        return false;
    }
    const std::unique_ptr<char, CurlTextDeleter> scheme(rawScheme);
    char* rawHost = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_HOST, &rawHost, 0) != CURLUE_OK) {
        return false;
    }
    const std::unique_ptr<char, CurlTextDeleter> host(rawHost);
    return std::string_view(scheme.get()) == "https" && host && *host != '\0';
}

} // namespace

bool isNewer(const std::string& candidate, const std::string& current)
{
    const auto a = components(candidate);
    const auto b = components(current);
    if (!a || !b) {
        return false;
    }
    const std::size_t length = std::max(a->size(), b->size());
    for (std::size_t i = 0; i < length; ++i) {
        const std::int64_t x = i < a->size() ? (*a)[i] : 0;
        const std::int64_t y = i < b->size() ? (*b)[i] : 0;
        if (x != y) {
            return x > y;
        }
    }
    return false;
}

std::optional<UpdateInfo> parseManifest(const std::string& body, const std::string& currentVersion)
{
    const auto json = nlohmann::json::parse(body, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        return std::nullopt;
    }
    const auto version = json.find("version");
    if (version == json.end() || !version->is_string()) {
        return std::nullopt;
    }
    const auto url = json.find("url");
    if (url == json.end() || !url->is_string() || !isHttpsUrlWithHost(url->get_ref<const std::string&>())) {
        return std::nullopt;
    }
    const auto& versionText = version->get_ref<const std::string&>();
    if (!isNewer(versionText, currentVersion)) {
        return std::nullopt;
    }
    const auto notes = json.find("notes");
    return UpdateInfo{
        versionText,
        url->get<std::string>(),
        notes != json.end() && notes->is_string() ? notes->get<std::string>() : std::string(),
    };
}

std::optional<UpdateInfo> check(const std::string& manifestURL, const std::string& currentVersion, HttpClient& session)
{
    try {
        const HttpResponse response = session.get(manifestURL, std::chrono::seconds(10), maxManifestBytes);
        if (!response.transportOk || response.status != 200) {
            return std::nullopt;
        }
        return parseManifest(response.body, currentVersion);
    } catch (...) {
        // Nothing about a failed check is the caller's business; it only learns "no update".
        return std::nullopt;
    }
}

} // namespace lumafold::Updater
