// SPDX-License-Identifier: AGPL-3.0-or-later
#include "EngineTestSupport.h"
#include "support/PdfInspector.h"
#include "support/Qpdf.h"

#include <thread>

using namespace lumafold;
using namespace lumafold::test;

namespace {

DecodedJpeg picture(const PageDescriptor& page, std::int64_t maxPixelSize = 360)
{
    const auto jpeg = LumafoldEngine::thumbnailData(page, maxPixelSize);
    if (!jpeg) {
        ADD_FAILURE() << "no picture";
        return {};
    }
    return decodeJpeg(*jpeg);
}

bool isRed(const std::array<int, 3>& colour)
{
    return colour[0] > 200 && colour[1] < 60 && colour[2] < 60;
}

bool isWhite(const std::array<int, 3>& colour)
{
    return colour[0] > 240 && colour[1] > 240 && colour[2] > 240;
}

} // namespace

TEST(Inspect, ReportsPagesSizesBytesAndTitle)
{
    TempDir dir;
    PdfLayout layout{.pages = {PageLayout{}, PageLayout{.width = 300, .height = 200, .rotate = 90}},
                     .title = "Minutes"};
    const auto pdf = writePdf(dir / "minutes.pdf", layout);
    const auto info = LumafoldEngine::inspect(pdf);
    EXPECT_EQ(info.pageCount, 2);
    EXPECT_EQ(info.bytes, static_cast<std::int64_t>(std::filesystem::file_size(pdf)));
    EXPECT_EQ(info.title, std::optional<std::string>("Minutes"));
    // Rotation does not turn the reported size.
    EXPECT_EQ(info.pageSizes, (std::vector<PageSize>{PageSize::letter, PageSize{300, 200}}));

    EXPECT_EQ(LumafoldEngine::inspect(writeSimplePdf(dir / "untitled.pdf", 1)).title, std::nullopt);
    EXPECT_EQ(
        LumafoldEngine::inspect(writePdf(dir / "empty-title.pdf", PdfLayout{.pages = {PageLayout{}}, .title = ""}))
            .title,
        std::optional<std::string>(""));
}

TEST(Inspect, DescriptorsListEveryPageUnturned)
{
    TempDir dir;
    const auto pdf = writeSimplePdf(dir / "three.pdf", 3);
    EXPECT_EQ(LumafoldEngine::descriptors(pdf),
              (std::vector<PageDescriptor>{sourcePage(pdf, 0), sourcePage(pdf, 1), sourcePage(pdf, 2)}));
}

TEST(Inspect, RejectsWhatCannotBeUsed)
{
    TempDir dir;
    const auto plain = writeSimplePdf(dir / "plain.pdf", 2);
    qpdf::encrypt(plain, dir / "locked.pdf", "secret", "owner");
    qpdf::encrypt(plain, dir / "restricted.pdf", "", "owner");
    writePdf(dir / "empty.pdf", PdfLayout{});
    writeFile(dir / "text.pdf", std::string("Dear reader,\nthis is not a PDF.\n"));
    const auto bytes = readFile(plain);
    writeFile(dir / "truncated.pdf", std::vector<unsigned char>(bytes.begin(), bytes.begin() + 40));
    std::filesystem::create_directory(dir / "folder.pdf");
    writeFile(dir / "damaged.pdf", withBrokenXref(makePdf(PdfLayout{.pages = {PageLayout{}, PageLayout{}}})));

    EXPECT_EQ(engineError([&] { LumafoldEngine::inspect(dir / "locked.pdf"); }),
              LumafoldError::encrypted(dir / "locked.pdf"));
    EXPECT_EQ(engineError([&] { LumafoldEngine::descriptors(dir / "locked.pdf"); }).errorDescription(),
              "Unlock locked.pdf before adding it.");
    EXPECT_EQ(engineError([&] { LumafoldEngine::inspect(dir / "empty.pdf"); }),
              LumafoldError::emptyDocument(dir / "empty.pdf"));
    for (const auto* name : {"text.pdf", "truncated.pdf", "folder.pdf", "absent.pdf"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(engineError([&] { LumafoldEngine::inspect(dir / name); }), LumafoldError::cannotRead(dir / name));
    }
    EXPECT_EQ(LumafoldEngine::inspect(dir / "restricted.pdf").pageCount, 2);
    EXPECT_EQ(LumafoldEngine::inspect(dir / "damaged.pdf").pageCount, 2);
}

TEST(Inspect, APageCountBeyondWhatTheFileHoldsIsNotBelieved)
{
    TempDir dir;
    auto pdf = makePdf(PdfLayout{.pages = {PageLayout{}, PageLayout{.width = 300}}});
    const auto count = pdf.find("/Count 2");
    ASSERT_NE(count, std::string::npos);
    pdf.replace(count, 8, "/Count 2000000000");
    writeFile(dir / "lying.pdf", pdf);
    // Believed, it would have every operation allocate for two billion pages.
    EXPECT_EQ(LumafoldEngine::inspect(dir / "lying.pdf").pageCount, 2);
    EXPECT_EQ(LumafoldEngine::descriptors(dir / "lying.pdf").size(), 2u);
    const auto out = LumafoldEngine::write(
        LumafoldEngine::assemble({sourcePage(dir / "lying.pdf", 1), sourcePage(dir / "lying.pdf", 0)}, false),
        dir / "out.pdf");
    EXPECT_EQ(qpdf::pageCount(out), 2);
}

TEST(Inspect, BadInputPrintsNothing)
{
    TempDir dir;
    writeFile(dir / "text.pdf", std::string("%PDF-1.7\n1 0 obj << /Type /Catalog /Pages 9 0 R >>\ntrailer garbage"));
    writeFile(dir / "damaged.pdf", withBrokenXref(makePdf(PdfLayout{.pages = {PageLayout{}}})));
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_ANY_THROW(LumafoldEngine::inspect(dir / "text.pdf"));
    LumafoldEngine::inspect(dir / "damaged.pdf");
    LumafoldEngine::thumbnailData(sourcePage(dir / "damaged.pdf", 0), 100);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Thumbnail, ShowsThePageAsItWillBeExported)
{
    TempDir dir;
    PdfLayout layout{.pages = {PageLayout{.cornerMarker = true}, PageLayout{.rotate = 90, .cornerMarker = true}}};
    const auto pdf = writePdf(dir / "marked.pdf", layout);

    const auto upright = picture(sourcePage(pdf, 0));
    EXPECT_EQ(std::max(upright.width, upright.height), 360);
    EXPECT_NEAR(upright.width, 278, 1);
    EXPECT_TRUE(isRed(upright.meanColour(5, 5, 20)));
    EXPECT_TRUE(isWhite(upright.meanColour(upright.width - 25, 5, 20)));

    // A quarter turn clockwise moves the top-left marker to the top-right, and the picture's
    // sides follow the turned page.
    for (const auto& turned : {picture(sourcePage(pdf, 0, 90)), picture(sourcePage(pdf, 1))}) {
        EXPECT_EQ(turned.width, 360);
        EXPECT_NEAR(turned.height, 278, 1);
        EXPECT_TRUE(isRed(turned.meanColour(turned.width - 25, 5, 20)));
        EXPECT_TRUE(isWhite(turned.meanColour(5, 5, 20)));
    }
    const auto upsideDown = picture(sourcePage(pdf, 1, 90)); // stored 90 + 90
    EXPECT_TRUE(isRed(upsideDown.meanColour(upsideDown.width - 25, upsideDown.height - 25, 20)));
}

TEST(Thumbnail, SizesFollowTheLongestSideRule)
{
    TempDir dir;
    const auto small = writeSimplePdf(dir / "small.pdf", 1, 200, 100);
    const std::tuple<PageDescriptor, std::int64_t, int, int> cases[] = {
        {blankPage(PageSize::a4), 360, 255, 360},
        {blankPage(PageSize{200, 100}), 360, 200, 100},
        {PageDescriptor(PageContent::blank(PageSize::letter), 90), 360, 278, 360},
        {sourcePage(small, 0), 360, 200, 100},
        {blankPage(PageSize::a4), 0, 1, 1},
        {sourcePage(small, 0), -5, 1, 1},
    };
    for (const auto& [page, maxSize, width, height] : cases) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        const auto image = picture(page, maxSize);
        EXPECT_NEAR(image.width, width, 1);
        EXPECT_NEAR(image.height, height, 1);
        EXPECT_LE(std::max(image.width, image.height), std::max<std::int64_t>(maxSize, 1));
    }
}

TEST(Thumbnail, GivesNothingForPagesThatCannotBeDrawn)
{
    TempDir dir;
    const auto pdf = writeSimplePdf(dir / "one.pdf", 1);
    qpdf::encrypt(pdf, dir / "locked.pdf", "secret", "owner");
    EXPECT_EQ(LumafoldEngine::thumbnailData(sourcePage(pdf, 1), 360), std::nullopt);
    EXPECT_EQ(LumafoldEngine::thumbnailData(sourcePage(dir / "absent.pdf", 0), 360), std::nullopt);
    EXPECT_EQ(LumafoldEngine::thumbnailData(sourcePage(dir / "locked.pdf", 0), 360), std::nullopt);
    EXPECT_EQ(LumafoldEngine::thumbnailData(blankPage(PageSize{1e9, 1e9}), 1'000'000'000), std::nullopt);
}

TEST(Thumbnail, BatchAndThreadsGiveTheSamePictures)
{
    TempDir dir;
    PdfLayout layout;
    for (int i = 0; i < 12; ++i) {
        layout.pages.push_back(
            PageLayout{.rotate = (i % 4) * 90, .label = "Page " + std::to_string(i), .cornerMarker = true});
    }
    const auto pdf = writePdf(dir / "many.pdf", layout);
    std::vector<PageDescriptor> pages;
    for (int i = 0; i < 12; ++i) {
        pages.push_back(sourcePage(pdf, i, i * 90));
    }
    pages.push_back(sourcePage(pdf, 99));
    pages.push_back(blankPage(PageSize::letter));

    std::vector<std::optional<Bytes>> single;
    for (const auto& page : pages) {
        single.push_back(LumafoldEngine::thumbnailData(page, 360));
    }
    EXPECT_EQ(LumafoldEngine::thumbnailsData(pages, 360), single);
    EXPECT_EQ(single[12], std::nullopt);

    std::vector<std::vector<std::optional<Bytes>>> perThread(4);
    std::vector<std::thread> threads;
    for (auto& out : perThread) {
        threads.emplace_back([&pages, &out] {
            for (int round = 0; round < 3; ++round) {
                out = LumafoldEngine::thumbnailsData(pages, 360);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto& out : perThread) {
        EXPECT_EQ(out, single);
    }

    // Enough pages for the engine's own workers to share them out.
    std::vector<PageDescriptor> many;
    std::vector<std::optional<Bytes>> expected;
    for (int round = 0; round < 12; ++round) {
        many.insert(many.end(), pages.begin(), pages.end());
        expected.insert(expected.end(), single.begin(), single.end());
    }
    EXPECT_EQ(LumafoldEngine::thumbnailsData(many, 360, 3), expected);
}

TEST(Inspect, APageTreeThatReachesItsPagesOverAndOverIsReadInBoundedWork)
{
    // Every node lists its child twice: 2^25 pages in 27 objects. Believed, this took minutes and
    // gigabytes, and with /Count 1 at the root every walk still visited all the leaves.
    TempDir dir;
    const auto doubled = dir / "doubled.pdf";
    writeFile(doubled, makeDoubledPageTree(25, 1LL << 25));
    EXPECT_EQ(engineError([&] { LumafoldEngine::inspect(doubled); }), LumafoldError::cannotRead(doubled));
    EXPECT_EQ(engineError([&] { LumafoldEngine::descriptors(doubled); }), LumafoldError::cannotRead(doubled));
    EXPECT_EQ(engineError([&] { LumafoldEngine::assemble({sourcePage(doubled, 0)}, false); }),
              LumafoldError::cannotRead(doubled));
    EXPECT_EQ(LumafoldEngine::thumbnailData(sourcePage(doubled, 0), 100), std::nullopt);

    // Claiming one page, it has the one page the renderer finds by its counts.
    const auto one = dir / "doubled-count-1.pdf";
    writeFile(one, makeDoubledPageTree(25, 1));
    EXPECT_EQ(LumafoldEngine::inspect(one).pageSizes, std::vector<PageSize>{PageSize(200, 200)});
    EXPECT_EQ(LumafoldEngine::descriptors(one), std::vector<PageDescriptor>{sourcePage(one, 0)});
    EXPECT_EQ(qpdf::pageCount(writeResult(dir, LumafoldEngine::assemble({sourcePage(one, 0)}, false), "out.pdf")), 1);
    EXPECT_TRUE(LumafoldEngine::thumbnailData(sourcePage(one, 0), 100));
}

TEST(Inspect, AFileCutShortIsDamagedNotEmpty)
{
    // The catalog comes last and one long content stream fills most of the file, so every cut
    // falls inside the stream and loses the page tree: what is left repairs to a file without
    // pages, yet it is a damaged file, not an empty one.
    TempDir dir;
    const auto whole = makePdf(PdfLayout{.pages = {PageLayout{.label = std::string(8000, 'x')}}, .catalogLast = true});
    for (const int percent : {10, 50, 90}) {
        SCOPED_TRACE(percent);
        const auto pdf = dir / ("cut-" + std::to_string(percent) + ".pdf");
        writeFile(pdf, whole.substr(0, whole.size() * static_cast<std::size_t>(percent) / 100));
        EXPECT_EQ(engineError([&] { LumafoldEngine::inspect(pdf); }), LumafoldError::cannotRead(pdf));
        EXPECT_EQ(engineError([&] { LumafoldEngine::assemble({sourcePage(pdf, 0)}, false); }),
                  LumafoldError::cannotRead(pdf));
    }
    writeFile(dir / "whole.pdf", whole);
    EXPECT_EQ(LumafoldEngine::inspect(dir / "whole.pdf").pageCount, 1);
}
