// SPDX-License-Identifier: AGPL-3.0-or-later
#include "EngineTestSupport.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace lumafold;
using namespace lumafold::test;

namespace {

int rotation(const nlohmann::json& page)
{
    return page.value("/Rotate", 0);
}

// Lowers this process's soft limit of open files while it lives.
struct OpenFileLimit
{
    explicit OpenFileLimit(rlim_t soft)
    {
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit lowered{soft, saved.rlim_max};
        EXPECT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    }
    ~OpenFileLimit() { setrlimit(RLIMIT_NOFILE, &saved); }
    rlimit saved{};
};

} // namespace

// A page taken twice becomes two pages of its own, turned apart, that share the source's content.
TEST(Assembly, KeepsOrderAndCountsSources)
{
    TempDir dir;
    const auto a = writeWidthsPdf(dir / "a.pdf", {100, 110, 120});
    const auto b = writeWidthsPdf(dir / "b.pdf", {200});
    const std::vector<PageDescriptor> pages = {sourcePage(a, 2), sourcePage(b, 0), blankPage(PageSize::letter),
                                               sourcePage(a, 1), sourcePage(a, 2, 90)};
    const auto result = LumafoldEngine::assemble(pages, false);
    EXPECT_EQ(result.sourceCount, 2);
    const auto out = LumafoldEngine::write(result, dir / "out.pdf");
    EXPECT_TRUE(qpdf::checkPasses(out));
    EXPECT_EQ(pageWidths(out), (std::vector<double>{120, 200, 612, 110, 120}));
    const PdfInspector pdf(out);
    EXPECT_EQ(std::pair(rotation(pdf.page(0)), rotation(pdf.page(4))), std::pair(0, 90));
    EXPECT_EQ(pdf.page(0)["/Contents"], pdf.page(4)["/Contents"]);
}

// The renderer reads /Rotate as an integer, inherited or not, and snaps it to the nearest quarter
// turn, halves up; the result carries that turn plus the extra one, so that its pages look as their
// pictures did, also when the turn or the media box was inherited.
TEST(Assembly, RotationAddsToTheStoredTurnAsItIsDrawn)
{
    // {stored, inherited, extra, expected}
    // clang-format off
    const std::tuple<std::string, bool, std::int64_t, int> cases[] = {
        {"270", false, 90, 0}, {"90", false, 90, 180}, {"0", false, -90, 270}, {"180", true, 0, 180},
        {"270", true, 180, 90}, {"45", false, 90, 180}, {"44", true, 90, 90}, {"-46", false, 90, 0},
        {"/Up", false, 90, 90}, {"134.9", false, 0, 180}, {"3000000000.0", false, 90, 270},
        {"-2147483648", false, 0, 270}};
    // clang-format on
    for (const auto& [stored, inherited, extra, expected] : cases) {
        SCOPED_TRACE(testing::Message() << "stored " << stored << (inherited ? " inherited" : "") << " + " << extra);
        TempDir dir;
        auto pdf = makePdf({.pages = {PageLayout{.width = 300, .height = 400, .rotate = 1, .cornerMarker = true}},
                            .inheritBoxAndRotation = inherited});
        pdf.replace(pdf.find("/Rotate 1"), 9, "/Rotate " + stored);
        writeFile(dir / "src.pdf", pdf);
        const auto src = sourcePage(dir / "src.pdf", 0, extra);
        const auto out = exported(dir, {src});
        EXPECT_EQ(rotation(PdfInspector(out).page(0)), expected);
        EXPECT_EQ(LumafoldEngine::thumbnailData(src, 100), LumafoldEngine::thumbnailData(sourcePage(out, 0), 100));
    }
}

TEST(Assembly, BlankPagesAreWhiteAtTheExactSizeAndCarryTheirTurn)
{
    TempDir dir;
    const auto out = exported(dir, {blankPage(PageSize::a4, 90), blankPage(PageSize::letter, -90)});
    const PdfInspector pdf(out);
    EXPECT_EQ(std::pair(rotation(pdf.page(0)), rotation(pdf.page(1))), std::pair(90, 270));
    const auto box = pdf.page(0)["/MediaBox"];
    EXPECT_NEAR(box[2].get<double>(), 595.28, 0.01);
    EXPECT_NEAR(box[3].get<double>(), 841.89, 0.01);
    const auto content = runProcess({QPDF_EXECUTABLE, "--show-object=" + pdf.page(0)["/Contents"].get<std::string>(),
                                     "--filtered-stream-data", out.string()});
    EXPECT_NE(content.output.find("1 g 0 0 595.28 841.89 re f"), std::string::npos) << content.output;
}

// Taking metadata off the copy leaves the source as it was.
TEST(Assembly, MetadataComesFromTheFirstSourceUnlessRemoved)
{
    TempDir dir;
    PdfLayout layout{.pages = {PageLayout{}}, .title = "Report", .xmpMetadata = true};
    const auto src = writePdf(dir / "src.pdf", layout);
    const auto before = readFile(src);
    const auto other = writeWidthsPdf(dir / "other.pdf", {300}, "Other");
    const std::vector<PageDescriptor> pages = {blankPage(PageSize::a4), sourcePage(src, 0, 90), sourcePage(other, 0)};
    const PdfInspector kept(exported(dir, pages));
    EXPECT_EQ(kept.resolve(kept.trailer()["/Info"])["/Title"], "u:Report");
    const PdfInspector removed(exported(dir, pages, true));
    EXPECT_FALSE(removed.trailer().contains("/Info"));
    EXPECT_FALSE(removed.catalog().contains("/Metadata"));
    EXPECT_FALSE(removed.page(1).contains("/Metadata"));
    EXPECT_EQ(readFile(src), before);
}

TEST(Assembly, MissingPagesAreNamed)
{
    TempDir dir;
    const auto a = writeWidthsPdf(dir / "a.pdf", {100, 200});
    EXPECT_EQ(engineError([&] { LumafoldEngine::assemble({}, false); }), LumafoldError::noPages());
    for (const std::int64_t index : {2, -1}) {
        EXPECT_EQ(engineError([&] {
                      LumafoldEngine::assemble({sourcePage(a, 0), sourcePage(a, index)}, false);
                  }),
                  LumafoldError::missingPage(a, index));
        EXPECT_EQ(LumafoldEngine::thumbnailData(sourcePage(a, index), 360), std::nullopt);
    }
}

// Files are let go of as their pages are copied; with no descriptor to spare the limit is named
// rather than the file blamed.
TEST(Assembly, CombinesMoreFilesThanMayBeOpenAtOnceAndNamesTheLimitWhenReached)
{
    TempDir dir;
    std::vector<PageDescriptor> pages;
    for (int i = 0; i < 200; ++i) {
        pages.push_back(sourcePage(writeWidthsPdf(dir / (std::to_string(i) + ".pdf"), {100}), 0));
    }
    {
        const OpenFileLimit limit(64);
        EXPECT_EQ(LumafoldEngine::assemble(pages, false).sourceCount, 200);
    }
#if !defined(__SANITIZE_ADDRESS__)
    // UBSan checks an object's type through a pipe; with no descriptor left it reports every
    // exception object as having an invalid vptr. The normal build and memcheck run this part.
    const int lowestFree = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    const OpenFileLimit limit(static_cast<rlim_t>(lowestFree));
    EXPECT_EQ(engineError([&] { LumafoldEngine::assemble({pages[0]}, false); }),
              LumafoldError::tooManyOpenFiles(dir / "0.pdf"));
#endif
}
