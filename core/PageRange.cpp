// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/LumafoldEngine.h"

#include "core/Utf8.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace lumafold::LumafoldEngine {

namespace {

// A workspace never comes near this many pages (every card carries a thumbnail), but a range
// like 1-9000000000000 with an equally large maximum would otherwise ask for terabytes. Inputs
// that select more positions are rejected like any other unusable range.
constexpr std::int64_t maxSelectedPositions = std::int64_t{1} << 23;

// Unicode general category Zs.
bool isSpaceSeparator(char32_t c)
{
    return c == 0x0020 || c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

bool isItemSpace(char32_t c)
{
    return c == U'\t' || isSpaceSeparator(c);
}

bool isSpaceOrLineBreak(char32_t c)
{
    return isItemSpace(c) || (c >= 0x000A && c <= 0x000D) || c == 0x0085 || c == 0x2028 || c == 0x2029;
}

template <typename Predicate> std::u32string_view trimmed(std::u32string_view text, Predicate isSpace)
{
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// An optional '+' and ASCII digits only; nothing else, not even spaces.
std::optional<std::int64_t> parseNumber(std::u32string_view piece)
{
    if (!piece.empty() && piece.front() == U'+') {
        piece.remove_prefix(1);
    }
    if (piece.empty()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char32_t c : piece) {
        if (c < U'0' || c > U'9') {
            return std::nullopt;
        }
        const std::int64_t digit = c - U'0';
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

struct Span
{
    std::int64_t first = 0; // 0-based, inclusive
    std::int64_t last = 0;
};

std::optional<Span> parseItem(std::u32string_view item, std::int64_t maximum)
{
    item = trimmed(item, isItemSpace);
    const auto hyphen = item.find(U'-');
    if (hyphen == std::u32string_view::npos) {
        const auto n = parseNumber(item);
        if (!n || *n < 1 || *n > maximum) {
            return std::nullopt;
        }
        return Span{*n - 1, *n - 1};
    }
    if (item.find(U'-', hyphen + 1) != std::u32string_view::npos) {
        return std::nullopt;
    }
    const auto a = parseNumber(item.substr(0, hyphen));
    const auto b = parseNumber(item.substr(hyphen + 1));
    if (!a || !b || *a < 1 || *a > *b || *b > maximum) {
        return std::nullopt;
    }
    return Span{*a - 1, *b - 1};
}

// Positions already taken, as disjoint spans keyed by their first position. Keeping spans
// rather than single positions lets "1-100000, 1-100000, ..." cost nothing per repeat.
class Coverage
{
public:
    // Appends to `fresh` the parts of `span` not covered yet, in ascending order, and covers them.
    void add(Span span, std::vector<Span>& fresh)
    {
        auto it = m_spans.upper_bound(span.first);
        if (it != m_spans.begin() && std::prev(it)->second >= span.first - 1) {
            --it;
        }
        std::int64_t first = span.first;
        std::int64_t last = span.last;
        std::int64_t cursor = span.first;
        // Every span touching or adjoining the new one is merged into it.
        while (it != m_spans.end() && it->first <= span.last + 1) {
            if (it->first > cursor) {
                fresh.push_back({cursor, it->first - 1});
            }
            if (it->second >= cursor) {
                cursor = it->second + 1;
            }
            first = std::min(first, it->first);
            last = std::max(last, it->second);
            it = m_spans.erase(it);
        }
        if (cursor <= span.last) {
            fresh.push_back({cursor, span.last});
        }
        m_spans.emplace(first, last);
    }

private:
    std::map<std::int64_t, std::int64_t> m_spans;
};

} // namespace

std::vector<std::int64_t> parsePageRange(const std::string& text, std::int64_t maximum)
{
    const std::u32string decoded = Utf8::decode(text);
    const std::u32string_view whole = trimmed(decoded, isSpaceOrLineBreak);
    if (whole.empty()) {
        throw LumafoldError::invalidRange(text);
    }

    // Validate everything first: one bad item rejects the input before anything is expanded.
    Coverage coverage;
    std::vector<Span> fresh;
    std::int64_t total = 0;
    std::size_t start = 0;
    while (start <= whole.size()) {
        const std::size_t comma = std::min(whole.find(U',', start), whole.size());
        const std::u32string_view item = whole.substr(start, comma - start);
        start = comma + 1;
        if (item.empty()) {
            continue;
        }
        const auto span = parseItem(item, maximum);
        if (!span) {
            throw LumafoldError::invalidRange(text);
        }
        const std::size_t before = fresh.size();
        coverage.add(*span, fresh);
        for (std::size_t k = before; k < fresh.size(); ++k) {
            total += fresh[k].last - fresh[k].first + 1;
            if (total > maxSelectedPositions) {
                throw LumafoldError::invalidRange(text);
            }
        }
    }

    std::vector<std::int64_t> positions;
    positions.reserve(static_cast<std::size_t>(total));
    for (const Span& span : fresh) {
        for (std::int64_t p = span.first; p <= span.last; ++p) {
            positions.push_back(p);
        }
    }
    return positions;
}

} // namespace lumafold::LumafoldEngine
