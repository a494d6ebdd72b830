// SPDX-License-Identifier: AGPL-3.0-or-later
#include "EngineTestSupport.h"

#include <thread>

using namespace lumafold;
using namespace lumafold::test;

namespace {

// Every operation that opens `pdf` reports `error`, and it has no picture.
void expectRefusedEverywhere(const std::filesystem::path& pdf, const LumafoldError& error)
{
    EXPECT_EQ(engineError([&] { LumafoldEngine::inspect(pdf); }), error);
    EXPECT_EQ(engineError([&] { LumafoldEngine::descriptors(pdf); }), error);
    EXPECT_EQ(engineError([&] { LumafoldEngine::assemble({sourcePage(pdf, 0)}, false); }), error);
    EXPECT_EQ(LumafoldEngine::thumbnailData(sourcePage(pdf, 0), 100), std::nullopt);
}

bool isRed(const std::array<int, 3>& colour)
{
    return colour[0] > 200 && colour[1] < 60 && colour[2] < 60;
}

} // namespace

TEST(Inspect, ReportsPagesSizesBytesAndTitle)
{
    TempDir dir;
    PdfLayout layout{.pages = {PageLayout{}, PageLayout{.width = 300, .height = 200, .rotate = 90}}, .title = ""};
    const auto pdf = writePdf(dir / "minutes.pdf", layout);
    const auto info = LumafoldEngine::inspect(pdf);
    EXPECT_EQ(info.pageCount, 2);
    EXPECT_EQ(info.bytes, static_cast<std::int64_t>(std::filesystem::file_size(pdf)));
    EXPECT_EQ(info.title, std::optional<std::string>(""));
    // Rotation does not turn the reported size.
    EXPECT_EQ(info.pageSizes, (std::vector<PageSize>{PageSize::letter, PageSize{300, 200}}));
    EXPECT_EQ(LumafoldEngine::inspect(writeWidthsPdf(dir / "titled.pdf", {100}, "Minutes")).title, "Minutes");
    EXPECT_EQ(LumafoldEngine::inspect(writeWidthsPdf(dir / "untitled.pdf", {100})).title, std::nullopt);
}

TEST(Inspect, FilesThatCannotBeUsedAreNamedByEveryOperation)
{
    TempDir dir;
    const auto plain = writeWidthsPdf(dir / "plain.pdf", {100, 200});
    qpdf::encrypt(plain, dir / "locked.pdf", "secret", "owner");
    // The catalog comes last and one long content stream fills most of the file, so the cut falls
    // inside the stream and loses the page tree: what is left repairs to a file without pages, yet
    // it is a damaged file, not an empty one.
    const auto whole = makePdf(PdfLayout{.pages = {PageLayout{.label = std::string(8000, 'x')}}, .catalogLast = true});
    writeFile(dir / "cut.pdf", whole.substr(0, whole.size() / 2));
    const std::pair<const char*, LumafoldError (*)(std::filesystem::path)> cases[] = {
        {"locked.pdf", LumafoldError::encrypted},
        {"cut.pdf", LumafoldError::cannotRead},
        {"absent.pdf", LumafoldError::cannotRead}};
    for (const auto& [name, error] : cases) {
        SCOPED_TRACE(name);
        expectRefusedEverywhere(dir / name, error(dir / name));
    }
    const auto empty = writePdf(dir / "empty.pdf", PdfLayout{});
    EXPECT_EQ(engineError([&] { LumafoldEngine::inspect(empty); }), LumafoldError::emptyDocument(empty));
}

// Quietly: the library's warnings about damage must not reach the terminal.
TEST(Inspect, RestrictedAndRepairableFilesAreUsedAndBadInputPrintsNothing)
{
    TempDir dir;
    const auto plain = writeWidthsPdf(dir / "plain.pdf", {100, 200});
    // An owner password alone does not lock a file.
    qpdf::encrypt(plain, dir / "restricted.pdf", "", "owner");
    const auto pages = PdfLayout{.pages = {PageLayout{.width = 100}, PageLayout{.width = 200}}};
    writeFile(dir / "damaged.pdf", withBrokenXref(makePdf(pages)));
    writeFile(dir / "text.pdf", "%PDF-1.7\n1 0 obj << /Type /Catalog /Pages 9 0 R >>\ntrailer garbage");
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    for (const auto* name : {"restricted.pdf", "damaged.pdf"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(LumafoldEngine::inspect(dir / name).pageCount, 2);
        EXPECT_TRUE(LumafoldEngine::thumbnailData(sourcePage(dir / name, 0), 100));
        const auto out = exported(dir, {sourcePage(dir / name, 1)});
        EXPECT_TRUE(qpdf::checkPasses(out));
        EXPECT_EQ(pageWidths(out), std::vector<double>{200});
    }
    EXPECT_ANY_THROW(LumafoldEngine::inspect(dir / "text.pdf"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Inspect, PageTreesThatOverstateTheirPagesAreReadInBoundedWork)
{
    // A count believed would have every operation allocate for two billion pages.
    TempDir dir;
    auto pdf = makePdf(PdfLayout{.pages = {PageLayout{.width = 100}, PageLayout{.width = 300}}});
    pdf.replace(pdf.find("/Count 2"), 8, "/Count 2000000000");
    writeFile(dir / "lying.pdf", pdf);
    EXPECT_EQ(LumafoldEngine::inspect(dir / "lying.pdf").pageCount, 2);
    EXPECT_EQ(pageWidths(exported(dir, {sourcePage(dir / "lying.pdf", 1)})), std::vector<double>{300});

    // Every node lists its child twice: 2^25 pages in 27 objects. Believed, this took minutes and
    // gigabytes, and with /Count 1 at the root every walk still visited all the leaves.
    const auto doubled = dir / "doubled.pdf";
    writeFile(doubled, makeDoubledPageTree(25, 1LL << 25));
    expectRefusedEverywhere(doubled, LumafoldError::cannotRead(doubled));

    // Claiming one page, it has the one page the renderer finds by its counts.
    const auto one = dir / "doubled-count-1.pdf";
    writeFile(one, makeDoubledPageTree(25, 1));
    EXPECT_EQ(LumafoldEngine::inspect(one).pageSizes, std::vector<PageSize>{PageSize(200, 200)});
    EXPECT_EQ(PdfInspector(exported(dir, {sourcePage(one, 0)})).pageCount(), 1);
    EXPECT_TRUE(LumafoldEngine::thumbnailData(sourcePage(one, 0), 100));
}

// Within the longest side asked for, never larger than the page.
TEST(Thumbnail, ShowsThePageTurnedAsItWillBeExported)
{
    TempDir dir;
    PdfLayout layout{.pages = {PageLayout{.cornerMarker = true}, PageLayout{.rotate = 90, .cornerMarker = true},
                               PageLayout{.width = 200}}};
    const auto pdf = writePdf(dir / "marked.pdf", layout);
    // {page, longest side, width, height, marker x and y as a fraction of the picture or -1 for none};
    // the marker starts top left.
    // clang-format off
    const std::tuple<PageDescriptor, std::int64_t, int, int, int, int> cases[] = {
        {sourcePage(pdf, 0), 360, 278, 360, 0, 0}, {sourcePage(pdf, 0, 90), 360, 360, 278, 1, 0},
        {sourcePage(pdf, 1), 360, 360, 278, 1, 0}, {sourcePage(pdf, 1, 90), 360, 278, 360, 1, 1},
        {sourcePage(pdf, 2), 1000, 200, 792, -1, -1}, {sourcePage(pdf, 2), -5, 1, 1, -1, -1},
        {blankPage(PageSize::a4), 360, 255, 360, -1, -1}, {blankPage(PageSize{200, 100}), 360, 200, 100, -1, -1},
        {blankPage(PageSize::letter, 90), 360, 278, 360, -1, -1}};
    // clang-format on
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &row - cases);
        const auto& [page, maxSize, width, height, right, bottom] = row;
        const auto image = decodeJpeg(LumafoldEngine::thumbnailData(page, maxSize).value());
        EXPECT_NEAR(image.width, width, 1);
        EXPECT_NEAR(image.height, height, 1);
        if (right >= 0) {
            EXPECT_TRUE(isRed(image.pixel(right ? image.width - 15 : 15, bottom ? image.height - 15 : 15)));
            EXPECT_FALSE(isRed(image.pixel(right ? 15 : image.width - 15, bottom ? image.height - 15 : 15)));
        }
    }
    EXPECT_EQ(LumafoldEngine::thumbnailData(blankPage(PageSize{1e9, 1e9}), 1'000'000'000), std::nullopt);
}

TEST(Thumbnail, BatchAndThreadsGiveTheSamePictures)
{
    TempDir dir;
    PdfLayout layout;
    std::vector<PageDescriptor> pages;
    for (int i = 0; i < 120; ++i) {
        layout.pages.push_back(PageLayout{.rotate = (i % 4) * 90, .label = std::to_string(i), .cornerMarker = true});
        pages.push_back(i % 10 ? sourcePage(dir / "many.pdf", i, i * 90) : blankPage(PageSize::letter));
    }
    pages.push_back(sourcePage(dir / "many.pdf", 999));
    writePdf(dir / "many.pdf", layout);
    std::vector<std::optional<Bytes>> single;
    for (const auto& page : pages) {
        single.push_back(LumafoldEngine::thumbnailData(page, 360));
    }
    // Enough pages for the engine's own workers to share them out, asked for by two callers at once.
    std::vector<std::optional<Bytes>> first, second;
    {
        const std::jthread one([&] { first = LumafoldEngine::thumbnailsData(pages, 360, 3); });
        const std::jthread two([&] { second = LumafoldEngine::thumbnailsData(pages, 360); });
    }
    EXPECT_EQ(first, single);
    EXPECT_EQ(second, single);
}
