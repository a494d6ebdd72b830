// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/PageModel.h"
#include "lumafold/LumafoldError.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

namespace lumafold {
namespace {

TEST(PageDescriptor, NormalizedMapsEveryAngleIntoOneTurn)
{
    const std::vector<std::pair<std::int64_t, std::int64_t>> cases = {
        {0, 0},
        {90, 90},
        {180, 180},
        {270, 270},
        {359, 359},
        {360, 0},
        {450, 90},
        {720, 0},
        {-1, 359},
        {-90, 270},
        {-360, 0},
        {-450, 270},
        {45, 45},
        {-45, 315},
        {-359, 1},
        {std::numeric_limits<std::int64_t>::max(), 7},
        {std::numeric_limits<std::int64_t>::min(), 352},
    };
    for (const auto& [angle, expected] : cases) {
        SCOPED_TRACE(angle);
        EXPECT_EQ(PageDescriptor::normalized(angle), expected);
        EXPECT_EQ(PageDescriptor(PageContent::blank(PageSize::a4), angle).rotation, expected);
    }
}

TEST(PageDescriptor, DirectlyAssignedRotationIsKeptAsIs)
{
    PageDescriptor descriptor(PageContent::source("/docs/a.pdf", 0), 0);
    descriptor.rotation = 450;
    EXPECT_EQ(descriptor.rotation, 450);

    PageDescriptor zero(PageContent::source("/docs/a.pdf", 0), 0);
    PageDescriptor fullTurn(PageContent::source("/docs/a.pdf", 0), 0);
    fullTurn.rotation = 360;
    EXPECT_NE(zero, fullTurn);
}

TEST(PageDescriptor, EqualityAndHashFollowContentAndRotation)
{
    const auto source = [](const char* path, std::int64_t index, std::int64_t rotation) {
        return PageDescriptor(PageContent::source(path, index), rotation);
    };
    const auto blank = [](PageSize size, std::int64_t rotation) {
        return PageDescriptor(PageContent::blank(size), rotation);
    };
    struct Case
    {
        const char* name;
        PageDescriptor a;
        PageDescriptor b;
        bool equal;
    };
    const std::vector<Case> cases = {
        {"same file and index", source("/docs/a.pdf", 2, 90), source("/docs/a.pdf", 2, 90), true},
        {"rotation normalised alike", source("/docs/a.pdf", 2, -270), source("/docs/a.pdf", 2, 450), true},
        {"other index", source("/docs/a.pdf", 2, 0), source("/docs/a.pdf", 3, 0), false},
        {"other file", source("/docs/a.pdf", 2, 0), source("/docs/b.pdf", 2, 0), false},
        {"other rotation", source("/docs/a.pdf", 2, 0), source("/docs/a.pdf", 2, 90), false},
        {"same blank size", blank(PageSize::a4, 0), blank(PageSize{595.28, 841.89}, 0), true},
        {"a4 and letter", blank(PageSize::a4, 0), blank(PageSize::letter, 0), false},
        {"width differs", blank(PageSize{100, 200}, 0), blank(PageSize{101, 200}, 0), false},
        {"height differs", blank(PageSize{100, 200}, 0), blank(PageSize{100, 201}, 0), false},
        {"source and blank", source("/docs/a.pdf", 0, 0), blank(PageSize::a4, 0), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.a == c.b, c.equal);
        EXPECT_EQ(c.a.content == c.b.content, c.equal || c.a.rotation != c.b.rotation);
        if (c.equal) {
            EXPECT_EQ(std::hash<PageDescriptor>{}(c.a), std::hash<PageDescriptor>{}(c.b));
            EXPECT_EQ(std::hash<PageContent>{}(c.a.content), std::hash<PageContent>{}(c.b.content));
        }
        const std::unordered_set<PageDescriptor> set = {c.a, c.b};
        EXPECT_EQ(set.size(), c.equal ? 1u : 2u);
    }
}

TEST(PageSize, NamedSizes)
{
    EXPECT_EQ(PageSize::a4, (PageSize{595.28, 841.89}));
    EXPECT_EQ(PageSize::letter, (PageSize{612.0, 792.0}));
    EXPECT_EQ(std::hash<PageSize>{}(PageSize::a4), std::hash<PageSize>{}(PageSize{595.28, 841.89}));
}

TEST(PageSize, JsonHasExactlyWidthAndHeight)
{
    const PageSize size{595.28, 841.89};
    const auto json = nlohmann::json::parse(size.toJson());
    ASSERT_TRUE(json.is_object());
    EXPECT_EQ(json.size(), 2u);
    ASSERT_TRUE(json.contains("width"));
    ASSERT_TRUE(json.contains("height"));
    EXPECT_TRUE(json["width"].is_number_float());
    EXPECT_EQ(json["width"].get<double>(), 595.28);
    EXPECT_EQ(json["height"].get<double>(), 841.89);
    EXPECT_EQ(PageSize::fromJson(size.toJson()), size);
    EXPECT_EQ(PageSize::fromJson(PageSize::letter.toJson()), PageSize::letter);
}

TEST(PageSize, JsonDecodingAcceptsBothKeysAndIgnoresOthers)
{
    EXPECT_EQ(PageSize::fromJson(R"({"height": 2, "width": 1.5})"), (PageSize{1.5, 2}));
    EXPECT_EQ(PageSize::fromJson(R"({"width": 10, "height": 20, "unit": "pt"})"), (PageSize{10, 20}));
}

TEST(PageSize, JsonDecodingFailsWithoutBothNumbers)
{
    const std::vector<std::string> cases = {
        R"({"width": 595.28})",
        R"({"height": 841.89})",
        R"({})",
        R"({"width": "595", "height": 841.89})",
        R"({"width": 595.28, "height": null})",
        R"([595.28, 841.89])",
        R"(not json)",
        "",
    };
    for (const auto& json : cases) {
        SCOPED_TRACE(json);
        EXPECT_THROW(PageSize::fromJson(json), std::invalid_argument);
    }
}

TEST(LumafoldError, DescriptionsAreExact)
{
    struct Case
    {
        LumafoldError error;
        LumafoldError::Kind kind;
        std::string description;
    };
    const std::vector<Case> cases = {
        {LumafoldError::cannotRead("/home/ann/report.pdf"), LumafoldError::Kind::cannotRead,
         "report.pdf could not be read."},
        {LumafoldError::encrypted("/home/ann/secret.pdf"), LumafoldError::Kind::encrypted,
         "Unlock secret.pdf before adding it."},
        {LumafoldError::emptyDocument("/tmp/empty.pdf"), LumafoldError::Kind::emptyDocument, "empty.pdf has no pages."},
        {LumafoldError::missingPage("/scans/scan.pdf", 3), LumafoldError::Kind::missingPage,
         "Page 4 is missing from scan.pdf."},
        {LumafoldError::missingPage("/scans/scan.pdf", 0), LumafoldError::Kind::missingPage,
         "Page 1 is missing from scan.pdf."},
        {LumafoldError::invalidRange("1-x"), LumafoldError::Kind::invalidRange,
         "\u201C1-x\u201D is not a valid page range. Use values such as 1-3, 5, 8-10."},
        {LumafoldError::invalidRange("  7 "), LumafoldError::Kind::invalidRange,
         "\xE2\x80\x9C  7 \xE2\x80\x9D is not a valid page range. Use values such as 1-3, 5, 8-10."},
        {LumafoldError::destinationExists("/out/Combined.pdf"), LumafoldError::Kind::destinationExists,
         "Combined.pdf already exists."},
        {LumafoldError::verificationFailed("the written file does not contain every page"),
         LumafoldError::Kind::verificationFailed,
         "The new PDF failed verification: the written file does not contain every page."},
        {LumafoldError::verificationFailed("the saved document could not be reopened with every page"),
         LumafoldError::Kind::verificationFailed,
         "The new PDF failed verification: the saved document could not be reopened with every page."},
        {LumafoldError::noPages(), LumafoldError::Kind::noPages, "Add at least one page before exporting."},
        {LumafoldError::cannotWrite(), LumafoldError::Kind::cannotWrite, "The new PDF could not be written."},
        // The system's reason follows the sentence, for the window and the bus alike.
        {LumafoldError::cannotWrite("No space left on device"), LumafoldError::Kind::cannotWrite,
         "The new PDF could not be written. No space left on device."},
        // Names that would split the message or pass for another name are quoted.
        {LumafoldError::cannotRead("/in/a\nb.pdf"), LumafoldError::Kind::cannotRead,
         "\"a\\nb.pdf\" could not be read."},
        // A folder location names its last component even with a trailing separator.
        {LumafoldError::cannotRead("/home/ann/Scans/"), LumafoldError::Kind::cannotRead, "Scans could not be read."},
        {LumafoldError::cannotRead("plain name.pdf"), LumafoldError::Kind::cannotRead,
         "plain name.pdf could not be read."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(c.error.kind(), c.kind);
        EXPECT_EQ(c.error.errorDescription(), c.description);
        EXPECT_STREQ(c.error.what(), c.description.c_str());
    }
}

TEST(LumafoldError, CarriesItsPayload)
{
    const auto missing = LumafoldError::missingPage("/scans/scan.pdf", 3);
    EXPECT_EQ(missing.path(), std::filesystem::path("/scans/scan.pdf"));
    EXPECT_EQ(missing.index(), 3);
    EXPECT_EQ(LumafoldError::invalidRange(" 1- ").text(), " 1- ");
    EXPECT_EQ(LumafoldError::verificationFailed("why").text(), "why");
}

TEST(LumafoldError, EqualWhenCaseAndPayloadAreEqual)
{
    EXPECT_EQ(LumafoldError::missingPage("/a.pdf", 1), LumafoldError::missingPage("/a.pdf", 1));
    EXPECT_NE(LumafoldError::missingPage("/a.pdf", 1), LumafoldError::missingPage("/a.pdf", 2));
    EXPECT_NE(LumafoldError::missingPage("/a.pdf", 1), LumafoldError::missingPage("/b.pdf", 1));
    EXPECT_NE(LumafoldError::cannotRead("/a.pdf"), LumafoldError::encrypted("/a.pdf"));
    EXPECT_NE(LumafoldError::invalidRange("1"), LumafoldError::invalidRange(" 1"));
    EXPECT_EQ(LumafoldError::noPages(), LumafoldError::noPages());
    EXPECT_NE(LumafoldError::noPages(), LumafoldError::cannotWrite());
}

TEST(PagesResult, BytesIsTheDataLength)
{
    PagesResult result;
    EXPECT_EQ(result.bytes(), 0);
    result.data = Bytes(1234, 0x25);
    EXPECT_EQ(result.bytes(), 1234);
}

} // namespace
} // namespace lumafold
