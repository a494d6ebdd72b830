// SPDX-License-Identifier: AGPL-3.0-or-later
#include "EngineTestSupport.h"

using namespace lumafold;
using namespace lumafold::test;

namespace {

using Kind = LinkLayout::Kind;

OutlineItem entry(std::string title, int page, Kind kind = Kind::destArray, int count = 0, std::vector<int> kids = {})
{
    const auto target = page < 0 ? std::nullopt : std::optional(LinkLayout{.kind = kind, .targetPage = page});
    return {.title = std::move(title), .target = target, .count = count, .kids = std::move(kids)};
}

// Entries lead to the page after ">"; round brackets hold an open entry's kids, square ones a closed one's.
// A: Intro>0 (Intro.1>1), Part [Ch1>2 (Ch1.1>3), Ch2>3]   B: B>1 (B.x>0, B.y>2), Only [Gone>2]
const PdfLayout bookA{.pages = std::vector(4, PageLayout{}),
                      .outline = {entry("Intro", 0, Kind::destArray, 1, {1}), entry("Intro.1", 1, Kind::goToAction),
                                  entry("Part", -1, {}, -2, {3, 5}), entry("Ch1", 2, Kind::namedDest, 1, {4}),
                                  entry("Ch1.1", 3), entry("Ch2", 3, Kind::goToAction)},
                      .outlineTop = {0, 2}};
const PdfLayout bookB{.pages = std::vector(3, PageLayout{}),
                      .outline = {entry("B", 1, Kind::namedDest, 2, {1, 2}), entry("B.x", 0), entry("B.y", 2),
                                  entry("Only", -1, {}, -1, {4}), entry("Gone", 2)},
                      .outlineTop = {0, 3}};

// The outline as qpdf reads it, as above, with 1-based page numbers after "@".
std::string outline(const nlohmann::json& entries)
{
    std::string text;
    for (const auto& e : entries) {
        text += (text.empty() ? "" : " ") + e["title"].get<std::string>();
        text += e["destpageposfrom1"].is_number() ? "@" + std::to_string(e["destpageposfrom1"].get<int>()) : "";
        text += e["kids"].empty() ? "" : (e["open"] ? "(" : "[") + outline(e["kids"]) + (e["open"] ? ")" : "]");
    }
    return text;
}

std::string outlineOf(const std::filesystem::path& pdf)
{
    EXPECT_TRUE(qpdf::checkPasses(pdf));
    return outline(PdfInspector(pdf).json()["outlines"]);
}

} // namespace

TEST(Outline, FollowsPagesToTheirFirstCopyAndHoistsEntriesWhosePageIsLeftOut)
{
    TempDir dir;
    const auto a = writePdf(dir / "a.pdf", bookA);
    const auto b = writePdf(dir / "b.pdf", bookB);
    const std::pair<std::vector<PageDescriptor>, std::string> cases[] = {
        {{sourcePage(b, 1), sourcePage(a, 3), sourcePage(a, 0), sourcePage(b, 0)},
         "B@1(B.x@4) Intro@3 Part[Ch1.1@2 Ch2@2]"},
        {{sourcePage(a, 1), sourcePage(b, 0), sourcePage(a, 0), sourcePage(a, 1)}, "Intro@3(Intro.1@1) B.x@2"},
        {{blankPage({100, 100}), sourcePage(b, 0), sourcePage(b, 1), sourcePage(b, 2)},
         "B@3(B.x@2 B.y@4) Only[Gone@4]"},
    };
    for (const auto& [pages, expected] : cases) {
        EXPECT_EQ(outlineOf(exported(dir, pages)), expected);
    }
    const auto files = LumafoldEngine::split(LumafoldEngine::descriptors(a), 2, dir.path(), "Part", false);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(outlineOf(files[0]) + " | " + outlineOf(files[1]), "Intro@1(Intro.1@2) | Part[Ch1@1(Ch1.1@2) Ch2@2]");
}

TEST(Outline, KeepsTitleBytesViewColourStyleAndWebLinksWithoutMetadata)
{
    TempDir dir;
    auto first = entry(std::string("\xFE\xFF\x00S\x00\xE9", 6), 0);
    first.target->view = "/XYZ 10 20 0";
    auto styled = entry("Styled", 0);
    styled.extra = "/C [1 0 0] /F 3";
    const PdfLayout layout{.pages = {PageLayout{}},
                           .outline = {first, entry("\xC9t\xE9", 0, Kind::uri),
                                       OutlineItem{.title = "Run", .extra = "/A << /S /Launch /F (x.sh) >>"}, styled},
                           .outlineTop = {0, 1, 2, 3}};
    const auto out = exported(dir, {sourcePage(writePdf(dir / "c.pdf", layout), 0)}, true);
    EXPECT_EQ(outlineOf(out), "S\u00e9@1 \u00c9t\u00e9 Styled@1");
    const PdfInspector pdf(out);
    const auto copy = pdf.resolve(pdf.resolve(pdf.catalog()["/Outlines"])["/First"]);
    EXPECT_EQ(copy["/Dest"], nlohmann::json::parse(R"([")" + pdf.pageRef(0) + R"(", "/XYZ", 10, 20, 0])"));
    const auto web = pdf.resolve(copy["/Next"]);
    EXPECT_EQ(pdf.resolve(web["/A"])["/URI"], "u:https://example.org/");
    EXPECT_EQ(pdf.resolve(web["/Next"])["/C"], nlohmann::json::parse("[1, 0, 0]"));
    EXPECT_EQ(pdf.resolve(web["/Next"])["/F"], 3);
}

TEST(Outline, LoopsAndAbsurdDepthAreCutWithoutCostingPages)
{
    TempDir dir;
    std::vector<OutlineItem> deep; // each entry holds the next, and the last the first again
    for (int i = 0; i < 20000; ++i) {
        deep.push_back(entry("d", 0, Kind::destArray, 1, {(i + 1) % 20000}));
    }
    const std::pair<PdfLayout, std::string> cases[] = {
        {{.outline = {entry("self", 1, Kind::destArray, 1, {0})}, .outlineTop = {0}}, "self@2"},
        {{.outline = {entry("a", 0), entry("b", 1)}, .outlineTop = {0, 1, 0}}, "a@1 b@2"},
        {{.outline = deep, .outlineTop = {0}}, ""},
    };
    for (auto [layout, expected] : cases) {
        layout.pages = std::vector(2, PageLayout{});
        const auto text = outlineOf(exported(dir, LumafoldEngine::descriptors(writePdf(dir / "loop.pdf", layout))));
        const auto depth = std::count(text.begin(), text.end(), '(');
        EXPECT_TRUE(expected.empty() ? depth > 10 && depth < 100 : text == expected) << text;
    }
}
