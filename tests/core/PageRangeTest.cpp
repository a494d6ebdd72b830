// SPDX-License-Identifier: AGPL-3.0-or-later
#include "EngineTestSupport.h"

namespace lumafold {
namespace {

using Positions = std::vector<std::int64_t>;
constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t selectionLimit = std::int64_t{1} << 23;

// Overlaps keep the first occurrence of every position, in text order, unsorted; Unicode white space
// and line breaks may surround the whole text, space separators each item.
TEST(PageRange, AcceptsAndExpandsValidInput)
{
    const std::vector<std::tuple<std::string, std::int64_t, Positions>> cases = {
        // clang-format off
        {"1-3, 5, 8-10", 10, {0, 1, 2, 4, 7, 8, 9}}, {"  2  ", 10, {1}}, {"5, 1-3", 10, {4, 0, 1, 2}},
        {"3-3", 10, {2}}, {"0000000000000000000000000000010", 10, {9}}, {"1,,3", 10, {0, 2}}, {" , ", 10, {}},
        {",", 0, {}}, {"8-10, 1-10", 10, {7, 8, 9, 0, 1, 2, 3, 4, 5, 6}}, {"3, 2, 3-4, 1-2", 10, {2, 1, 3, 0}},
        {"\n1-2\r\n", 10, {0, 1}}, {"\u00851\u2029", 10, {0}}, {"1\u00A0,\u20032,\u3000 3", 10, {0, 1, 2}},
        {"\u00A0\u1680\u2000\u200A\u202F\u205F\u30001\u3000", 10, {0}},
        {"9223372036854775806-9223372036854775807", int64Max, {int64Max - 2, int64Max - 1}},
        // clang-format on
    };
    for (const auto& [text, maximum, expected] : cases) {
        SCOPED_TRACE("text \"" + text + "\", maximum " + std::to_string(maximum));
        EXPECT_EQ(LumafoldEngine::parsePageRange(text, maximum), expected);
    }
    // Repeats count once against the limit.
    const auto whole = "1-" + std::to_string(selectionLimit);
    EXPECT_EQ(LumafoldEngine::parsePageRange(whole + ", " + whole, int64Max).size(), std::size_t(selectionLimit));
}

// Dashes and minus signs, other digits, a line break inside the text, a zero width space, broken
// UTF-8 and selections too large to expand are refused too.
TEST(PageRange, RejectsInvalidInputWithTheUntouchedText)
{
    // clang-format off
    std::vector<std::pair<std::string, std::int64_t>> cases = {
        {"1", 0}, {"1", -1}, {"9223372036854775808", int64Max}, {"1-9223372036854775807", int64Max},
        // One range may cover as many positions as the maximum allows, yet not more than the limit.
        {"1-" + std::to_string(selectionLimit + 1), int64Max},
        {"1-5000000, 5000001-" + std::to_string(selectionLimit + 1), int64Max},
        {"1-" + std::to_string(selectionLimit) + ", " + std::to_string(selectionLimit + 1), int64Max},
    };
    const char* const malformed[] = {
        "5-3", "0", "0-3", "11", "1-11", "1 - 3", "1\u00A0-3", "1\u20133", "1 3", "1-2-3", "3-", "-3", "", " \n\t\r\n ",
        "\u2028\u00A0\u3000", "1, ,3", "++1", "+ 1", "\u0663", "1\n,2", "\u200B1", "\300\2401", "\xE2\x80",
        "99999999999999999999999"};
    // clang-format on
    for (const char* text : malformed) {
        cases.emplace_back(text, 10);
    }
    for (const auto& [text, maximum] : cases) {
        SCOPED_TRACE("text \"" + text + "\", maximum " + std::to_string(maximum));
        EXPECT_EQ(test::engineError([&] { LumafoldEngine::parsePageRange(text, maximum); }),
                  LumafoldError::invalidRange(text));
    }
}

} // namespace
} // namespace lumafold
