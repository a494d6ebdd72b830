// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/ThumbnailStore.h"
#include "ModelTestSupport.h"
#include "support/PdfFactory.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

// The corner holding the red marker: 0 top left, then clockwise.
long markedCorner(const QByteArray& jpeg)
{
    const QImage image = QImage::fromData(jpeg, "JPEG");
    const int w = image.width() - 3;
    const int h = image.height() - 3;
    const QPoint corners[] = {{2, 2}, {w, 2}, {w, h}, {2, h}};
    const auto redness = [&](QPoint p) {
        return image.pixelColor(p).red() - image.pixelColor(p).green();
    };
    return std::max_element(corners, corners + 4, [&](QPoint a, QPoint b) { return redness(a) < redness(b); }) -
           corners;
}

// A picture as the model comes by it: a known one at once, else from the work the store hands out,
// done here on the spot.
QByteArray pictureFor(ThumbnailStore& store, const ThumbnailStore::Request& request)
{
    auto [pictures, work] = store.plan({request});
    const auto made = ThumbnailStore::make(work);
    store.remember(made);
    return made.empty() ? pictures.value(0) : made.front().picture;
}

// A portrait page marked in one corner; how the engine draws turned pages is InspectionTest's.
class ThumbnailStoreFileTest : public ::testing::Test
{
protected:
    void SetUp() override { writePdf(file, {.pages = {{.width = 300, .height = 500, .cornerMarker = true}}}); }
    PageDescriptor page(std::int64_t rotation) const { return PageDescriptor(PageContent::source(file, 0), rotation); }

    TempDir dir;
    fs::path file = dir / "marked.pdf";
};

// A turn moves the marker one corner on clockwise per quarter. A store that keeps nothing can only
// turn the card's own picture; the model's rotation test shows that a kept one is turned too.
TEST_F(ThumbnailStoreFileTest, PicturesAreTurnedClockwiseWithoutDrawing)
{
    const QByteArray upright = ThumbnailStore::draw({page(0)}).value(0);
    fs::remove(file); // from here on, drawing would give nothing
    ThumbnailStore forgetful(1);
    for (const std::int64_t rotation : {90, 180, 270}) {
        SCOPED_TRACE(rotation);
        const QByteArray turned = pictureFor(forgetful, {page(rotation), ThumbnailStore::Base{page(0), upright}});
        const QSize size = pictureSize(upright);
        EXPECT_EQ(pictureSize(turned), rotation == 180 ? size : size.transposed());
        EXPECT_EQ(markedCorner(turned), rotation / 90);
    }
}

TEST(ThumbnailStoreTest, ABlankPagesPictureDoesNotTurn)
{
    ThumbnailStore store;
    const PageDescriptor blank(PageContent::blank(PageSize::letter), 0);
    const QByteArray blankPicture = pictureFor(store, {blank, std::nullopt});
    EXPECT_EQ(pictureFor(store, {PageDescriptor(blank.content, 90), std::nullopt}).constData(),
              blankPicture.constData());
}

TEST_F(ThumbnailStoreFileTest, ANewDrawingReplacesThePicturesOfAChangedFile)
{
    ThumbnailStore store;
    store.rememberDrawn(page(0), ThumbnailStore::draw({page(90)}).value(0)); // the page was landscape
    EXPECT_EQ(pictureSize(pictureFor(store, {page(90), std::nullopt})), QSize(216, 360));
    store.rememberDrawn(page(0), ThumbnailStore::draw({page(0)}).value(0));
    EXPECT_EQ(pictureSize(pictureFor(store, {page(90), std::nullopt})), QSize(360, 216));
}

} // namespace
} // namespace lumafold::test
