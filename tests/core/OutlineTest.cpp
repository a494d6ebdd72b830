// SPDX-License-Identifier: AGPL-3.0-or-later
#include "EngineTestSupport.h"

using namespace lumafold;
using namespace lumafold::test;

namespace {

using Kind = LinkLayout::Kind;

OutlineItem entry(std::string title, std::optional<LinkLayout> target, int count = 0, std::vector<int> kids = {})
{
    return OutlineItem{.title = std::move(title), .target = target, .count = count, .kids = std::move(kids)};
}

LinkLayout to(int page, Kind kind = Kind::destArray)
{
    return LinkLayout{.kind = kind, .targetPage = page};
}

// A: Intro>0 (Intro.1>1), Part [Ch1>2 (Ch1.1>3), Ch2>3]   B: B>1 (B.x>0, B.y>2), Only [Gone>2]
// (> leads to a page; round brackets hold an open entry's kids, square ones a closed entry's).
PdfLayout bookA()
{
    return {.pages = std::vector(4, PageLayout{}),
            .outline = {entry("Intro", to(0), 1, {1}), entry("Intro.1", to(1, Kind::goToAction)),
                        entry("Part", std::nullopt, -2, {3, 5}), entry("Ch1", to(2, Kind::namedDest), 1, {4}),
                        entry("Ch1.1", to(3)), entry("Ch2", to(3, Kind::goToAction))},
            .outlineTop = {0, 2}};
}

PdfLayout bookB()
{
    return {.pages = std::vector(3, PageLayout{}),
            .outline = {entry("B", to(1, Kind::namedDest), 2, {1, 2}), entry("B.x", to(0)), entry("B.y", to(2)),
                        entry("Only", std::nullopt, -1, {4}), entry("Gone", to(2))},
            .outlineTop = {0, 3}};
}

// The outline as qpdf reads it: "Title@page" (1-based), kids in brackets as above.
std::string outline(const nlohmann::json& entries)
{
    std::string text;
    for (const auto& e : entries) {
        text += (text.empty() ? "" : " ") + e["title"].get<std::string>();
        text += e["destpageposfrom1"].is_number() ? "@" + std::to_string(e["destpageposfrom1"].get<int>()) : "";
        if (!e["kids"].empty()) {
            text += (e["open"] ? "(" : "[") + outline(e["kids"]) + (e["open"] ? ")" : "]");
        }
    }
    return text;
}

std::string outlineOf(const std::filesystem::path& pdf)
{
    EXPECT_TRUE(qpdf::checkPasses(pdf));
    return outline(qpdf::json(pdf)["outlines"]);
}

} // namespace

TEST(Outline, FollowsPagesToTheirFirstCopyAndHoistsEntriesWhosePageIsLeftOut)
{
    TempDir dir;
    const auto a = writePdf(dir / "a.pdf", bookA());
    const auto b = writePdf(dir / "b.pdf", bookB());
    const struct
    {
        std::vector<PageDescriptor> pages;
        std::string expected;
    } cases[] = {
        {{sourcePage(b, 1), sourcePage(a, 3), sourcePage(a, 0), sourcePage(b, 0)},
         "B@1(B.x@4) Intro@3 Part[Ch1.1@2 Ch2@2]"},
        {{sourcePage(a, 1), sourcePage(b, 0), sourcePage(a, 0), sourcePage(a, 1)}, "Intro@3(Intro.1@1) B.x@2"},
        {{blankPage({100, 100}), sourcePage(b, 0), sourcePage(b, 1), sourcePage(b, 2)},
         "B@3(B.x@2 B.y@4) Only[Gone@4]"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(outlineOf(exported(dir, c.pages)), c.expected);
    }
}

TEST(Outline, EachSplitFileKeepsTheEntriesOfItsOwnPages)
{
    TempDir dir;
    const auto files =
        LumafoldEngine::split(firstPages(writePdf(dir / "a.pdf", bookA()), 4), 2, dir.path(), "Part", false);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(outlineOf(files[0]), "Intro@1(Intro.1@2)");
    EXPECT_EQ(outlineOf(files[1]), "Part[Ch1@1(Ch1.1@2) Ch2@2]");
}

TEST(Outline, KeepsTitleBytesViewColourStyleAndWebLinksWithoutMetadata)
{
    TempDir dir;
    auto view = to(0);
    view.view = "/XYZ 10 20 0";
    PdfLayout layout{.pages = {PageLayout{}},
                     .outline = {entry(std::string("\xFE\xFF\x00S\x00\xE9", 6), view),
                                 entry("\xC9t\xE9", to(0, Kind::uri)),
                                 OutlineItem{.title = "Run", .extra = "/A << /S /Launch /F (x.sh) >> /C [1 0 0] /F 3"},
                                 OutlineItem{.title = "Styled", .target = to(0), .extra = "/C [1 0 0] /F 3"}},
                     .outlineTop = {0, 1, 2, 3}};
    const auto out = exported(dir, {sourcePage(writePdf(dir / "c.pdf", layout), 0)}, true);
    EXPECT_EQ(outlineOf(out), "S\u00e9@1 \u00c9t\u00e9 Styled@1");
    const PdfInspector pdf(out);
    const auto first = pdf.resolve(pdf.resolve(pdf.catalog()["/Outlines"])["/First"]);
    EXPECT_EQ(first["/Dest"], nlohmann::json::parse(R"([")" + pdf.pageRef(0) + R"(", "/XYZ", 10, 20, 0])"));
    const auto web = pdf.resolve(first["/Next"]);
    EXPECT_EQ(pdf.resolve(web["/A"])["/URI"], "u:https://example.org/");
    const auto styled = pdf.resolve(web["/Next"]);
    EXPECT_EQ(styled["/C"], nlohmann::json::parse("[1, 0, 0]"));
    EXPECT_EQ(styled["/F"], 3);
}

TEST(Outline, LoopsAndAbsurdDepthAreCutWithoutCostingPages)
{
    TempDir dir;
    const auto chain = [](int length) {
        std::vector<OutlineItem> items;
        for (int i = 0; i < length; ++i) {
            items.push_back(entry("d", to(0), 1, {i + 1 < length ? i + 1 : 0}));
        }
        return items;
    };
    const struct
    {
        std::vector<OutlineItem> items;
        std::vector<int> top;
        std::string expected;
    } cases[] = {
        {{entry("self", to(1), 1, {0})}, {0}, "self@2"},
        {{entry("a", to(0)), entry("b", to(1))}, {0, 1, 0}, "a@1 b@2"},
        {chain(3), {0}, "d@1(d@1(d@1))"},
        {chain(20000), {0}, ""},
    };
    for (const auto& c : cases) {
        const auto src = writePdf(dir / "loop.pdf",
                                  {.pages = std::vector(2, PageLayout{}), .outline = c.items, .outlineTop = c.top});
        const auto text = outlineOf(exported(dir, firstPages(src, 2)));
        const bool cut = !text.empty() && std::count(text.begin(), text.end(), '(') < 100;
        EXPECT_TRUE(c.expected.empty() ? cut : text == c.expected) << text;
    }
}
