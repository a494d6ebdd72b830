// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/PdfRenderer.h"
#include "support/PdfFactory.h"
#include "support/Qpdf.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>

using namespace lumafold;
using namespace lumafold::test;

namespace {

Bytes bytesOf(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

// The pixel two in from a corner.
std::array<int, 3> corner(const Bitmap& bitmap, bool left, bool top)
{
    const int x = left ? 2 : bitmap.width - 3, y = top ? 2 : bitmap.height - 3;
    const auto* p = bitmap.pixels.data() + static_cast<std::size_t>(y) * bitmap.stride + x * 3;
    return {p[0], p[1], p[2]};
}

} // namespace

TEST(PdfRenderer, ReportsEachPageAsItIsDrawn)
{
    auto pdf = makePdf(PdfLayout{.pages = {PageLayout{}, PageLayout{.width = 300, .height = 200, .rotate = 90},
                                           PageLayout{.width = 300, .height = 200, .rotate = 180},
                                           PageLayout{.width = 611}, PageLayout{.width = 610, .rotate = 90}}});
    // A visible box inside the media box, and one reaching past it.
    pdf.insert(pdf.find("/MediaBox [0 0 611"), "/CropBox [100 100 400 300] ");
    pdf.insert(pdf.find("/MediaBox [0 0 610"), "/CropBox [0 0 900 50] ");
    const auto renderer = PdfRenderer::open(bytesOf(pdf));
    ASSERT_TRUE(renderer);
    EXPECT_EQ(renderer->pageSizes(),
              (std::vector<PageSize>{PageSize::letter, {200, 300}, {300, 200}, {300, 200}, {50, 610}}));
}

TEST(PdfRenderer, DrawsThePageTurnedOnWhiteAtTheAskedScale)
{
    // {rotate, scale, width, height, where the red square of the unturned top-left corner ends up}
    const std::tuple<int, double, int, int, bool, bool> cases[] = {
        {0, 0.5, 100, 50, true, true},   {90, 0.5, 50, 100, false, true}, {180, 1, 200, 100, false, false},
        {270, 1, 100, 200, true, false}, {0, 2.5, 500, 250, true, true},
    };
    for (const auto& [rotate, scale, width, height, markerLeft, markerTop] : cases) {
        SCOPED_TRACE(testing::Message() << "rotate " << rotate << " scale " << scale);
        const auto renderer = PdfRenderer::open(bytesOf(makePdf(
            PdfLayout{.pages = {PageLayout{.width = 200, .height = 100, .rotate = rotate, .cornerMarker = true}}})));
        ASSERT_TRUE(renderer);
        const auto bitmap = renderer->render(0, scale);
        ASSERT_TRUE(bitmap);
        ASSERT_EQ(std::pair(bitmap->width, bitmap->height), std::pair(width, height));
        EXPECT_EQ(corner(*bitmap, markerLeft, markerTop), (std::array{255, 0, 0}));
        EXPECT_EQ(corner(*bitmap, !markerLeft, !markerTop), (std::array{255, 255, 255}));
    }
}

TEST(PdfRenderer, RefusesWhatItCannotDraw)
{
    TempDir dir;
    const auto plain = writePdf(dir / "plain.pdf", PdfLayout{.pages = {PageLayout{}}});
    qpdf::encrypt(plain, dir / "locked.pdf", "secret", "owner");
    for (const auto& bytes : {Bytes{}, bytesOf("Dear reader,\nthis is not a PDF.\n"), bytesOf("%PDF-1.7\n%%EOF\n"),
                              readFile(dir / "locked.pdf")}) {
        EXPECT_FALSE(PdfRenderer::open(bytes)) << std::string(bytes.begin(), bytes.end()).substr(0, 20);
    }

    const auto renderer = PdfRenderer::open(bytesOf(makePdf(PdfLayout{.pages = {PageLayout{}}})));
    ASSERT_TRUE(renderer);
    for (const auto& [index, scale] : {std::pair{-1, 1.0}, {1, 1.0}, {0, 0.0}, {0, -1.0}, {0, 100.0}}) {
        EXPECT_FALSE(renderer->render(index, scale)) << index << " at " << scale;
    }
}
