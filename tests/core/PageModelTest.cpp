// SPDX-License-Identifier: AGPL-3.0-or-later
#include "EngineTestSupport.h"

#include <unordered_set>

namespace lumafold {
namespace {

TEST(PageDescriptor, RotationIsNormalizedIntoOneTurn)
{
    constexpr auto most = std::numeric_limits<std::int64_t>::max();
    constexpr auto least = std::numeric_limits<std::int64_t>::min();
    const std::pair<std::int64_t, std::int64_t> cases[] = {{0, 0},      {360, 0}, {450, 90}, {-1, 359},   {-90, 270},
                                                           {-450, 270}, {45, 45}, {most, 7}, {least, 352}};
    for (const auto& [angle, expected] : cases) {
        EXPECT_EQ(PageDescriptor::normalized(angle), expected) << angle;
    }
}

TEST(PageDescriptor, EqualityAndHashFollowContentAndRotation)
{
    using test::blankPage, test::sourcePage;
    const std::vector<std::tuple<const char*, PageDescriptor, PageDescriptor, bool>> cases = {
        {"same file and index", sourcePage("/a.pdf", 2, 90), sourcePage("/a.pdf", 2, 90), true},
        {"other index", sourcePage("/a.pdf", 2, 0), sourcePage("/a.pdf", 3, 0), false},
        {"other file", sourcePage("/a.pdf", 2, 0), sourcePage("/b.pdf", 2, 0), false},
        {"other rotation", sourcePage("/a.pdf", 2, 0), sourcePage("/a.pdf", 2, 90), false},
        {"width differs", blankPage(PageSize{100, 200}), blankPage(PageSize{101, 200}), false},
        {"source and blank", sourcePage("/a.pdf", 0, 0), blankPage(PageSize::a4), false}};
    for (const auto& [name, a, b, equal] : cases) {
        SCOPED_TRACE(name);
        // A set holds one of two equal values only when their hashes agree too.
        EXPECT_EQ(std::unordered_set<PageDescriptor>({a, b}).size(), equal ? 1u : 2u);
        const bool sameContent = equal || a.rotation != b.rotation;
        EXPECT_EQ(std::unordered_set<PageContent>({a.content, b.content}).size(), sameContent ? 1u : 2u);
    }
}

TEST(PageSize, JsonRoundTripsWidthAndHeightAndNeedsBothNumbers)
{
    const auto json = PageSize{595.28, 841.89}.toJson();
    EXPECT_EQ(nlohmann::json::parse(json), nlohmann::json({{"width", 595.28}, {"height", 841.89}}));
    EXPECT_EQ(PageSize::fromJson(json), (PageSize{595.28, 841.89}));
    for (const std::string json : {R"({"width": 595.28})", R"({"width": "595", "height": 8})", ""}) {
        SCOPED_TRACE(json);
        EXPECT_THROW(PageSize::fromJson(json), std::invalid_argument);
    }
}

// Every field tells errors apart: each differs from all the others, some only by kind or one field.
TEST(LumafoldError, DescriptionsAreExactAndEveryFieldCountsForEquality)
{
    const std::vector<std::pair<LumafoldError, std::string>> cases = {
        {LumafoldError::cannotRead("/home/ann/report.pdf"), "report.pdf could not be read."},
        {LumafoldError::encrypted("/home/ann/report.pdf"), "Unlock report.pdf before adding it."},
        {LumafoldError::emptyDocument("/tmp/empty.pdf"), "empty.pdf has no pages."},
        {LumafoldError::missingPage("/scans/scan.pdf", 3), "Page 4 is missing from scan.pdf."},
        {LumafoldError::missingPage("/old/scan.pdf", 3), "Page 4 is missing from scan.pdf."},
        {LumafoldError::invalidRange("  7 "),
         "\u201C  7 \u201D is not a valid page range. Use values such as 1-3, 5, 8-10."},
        {LumafoldError::tooManyOpenFiles("/in/a.pdf"),
         "a.pdf could not be opened: the system's limit of open files was reached."},
        {LumafoldError::destinationExists("/out/Combined.pdf"), "Combined.pdf already exists."},
        {LumafoldError::verificationFailed("the written file does not contain every page"),
         "The new PDF failed verification: the written file does not contain every page."},
        {LumafoldError::noPages(), "Add at least one page before exporting."},
        {LumafoldError::cannotWrite(), "The new PDF could not be written."},
        // The system's reason follows the sentence.
        {LumafoldError::cannotWrite("No space left on device"),
         "The new PDF could not be written. No space left on device."},
        // Names that would split the message or pass for another name are quoted.
        {LumafoldError::cannotRead("/in/a\nb.pdf"), "\"a\\nb.pdf\" could not be read."},
        // A folder names its last component even with a trailing separator.
        {LumafoldError::cannotRead("/home/ann/Scans/"), "Scans could not be read."}};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [error, description] = cases[i];
        SCOPED_TRACE(description);
        EXPECT_EQ(error.errorDescription(), description);
        EXPECT_STREQ(error.what(), description.c_str());
        for (std::size_t j = 0; j < cases.size(); ++j) {
            EXPECT_EQ(error == cases[j].first, i == j) << cases[j].second;
        }
    }
}

} // namespace
} // namespace lumafold
