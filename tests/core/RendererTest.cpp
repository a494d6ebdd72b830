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

// Sizes as drawn: the visible box, turned. The red square of the unturned top-left corner shows
// the turn in the picture.
TEST(PdfRenderer, DrawsEachPageTurnedOnWhiteAtTheAskedScale)
{
    PdfLayout layout;
    for (const int rotate : {0, 90, 180, 270}) {
        layout.pages.push_back({.width = 200, .height = 100, .rotate = rotate, .cornerMarker = true});
    }
    layout.pages.push_back({.width = 611});
    layout.pages.push_back({.width = 610, .rotate = 90});
    auto pdf = makePdf(layout);
    // A visible box inside the media box, and one reaching past it.
    pdf.insert(pdf.find("/MediaBox [0 0 611"), "/CropBox [100 100 400 300] ");
    pdf.insert(pdf.find("/MediaBox [0 0 610"), "/CropBox [0 0 900 50] ");
    const auto renderer = PdfRenderer::open(bytesOf(pdf));
    ASSERT_TRUE(renderer);
    EXPECT_EQ(renderer->pageSizes(),
              (std::vector<PageSize>{{200, 100}, {100, 200}, {200, 100}, {100, 200}, {300, 200}, {50, 610}}));
    // {page, scale, width, height, where the marker ends up}
    const std::tuple<int, double, int, int, bool, bool> cases[] = {
        {0, 0.5, 100, 50, true, true}, {1, 0.5, 50, 100, false, true}, {2, 1, 200, 100, false, false},
        {3, 1, 100, 200, true, false}, {0, 2.5, 500, 250, true, true},
    };
    for (const auto& [page, scale, width, height, markerLeft, markerTop] : cases) {
        SCOPED_TRACE(testing::Message() << "page " << page << " scale " << scale);
        const auto bitmap = renderer->render(page, scale);
        ASSERT_TRUE(bitmap);
        ASSERT_EQ(std::pair(bitmap->width, bitmap->height), std::pair(width, height));
        EXPECT_EQ(corner(*bitmap, markerLeft, markerTop), (std::array{255, 0, 0}));
        EXPECT_EQ(corner(*bitmap, !markerLeft, !markerTop), (std::array{255, 255, 255}));
    }
    for (const auto& [index, scale] : {std::pair{-1, 1.0}, {6, 1.0}, {0, 0.0}, {0, -1.0}, {0, 100.0}}) {
        EXPECT_FALSE(renderer->render(index, scale)) << index << " at " << scale;
    }
}

TEST(PdfRenderer, RefusesWhatItCannotOpen)
{
    TempDir dir;
    const auto plain = writePdf(dir / "plain.pdf", PdfLayout{.pages = {PageLayout{}}});
    qpdf::encrypt(plain, dir / "locked.pdf", "secret", "owner");
    for (const auto& bytes : {Bytes{}, bytesOf("Dear reader,\nthis is not a PDF.\n"), bytesOf("%PDF-1.7\n%%EOF\n"),
                              readFile(dir / "locked.pdf")}) {
        EXPECT_FALSE(PdfRenderer::open(bytes)) << std::string(bytes.begin(), bytes.end()).substr(0, 20);
    }
}
