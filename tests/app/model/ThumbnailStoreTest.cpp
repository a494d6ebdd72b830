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

// An edit's pictures as the model comes by them: the known ones at once, the rest from the work
// the store hands out, done here on the spot.
QList<QByteArray> picturesFor(ThumbnailStore& store, const std::vector<ThumbnailStore::Request>& requests)
{
    auto [pictures, work] = store.plan(requests);
    const auto made = ThumbnailStore::make(work);
    store.remember(made);
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        for (const auto& picture : made) {
            if (pictures[i].isNull() && picture.page == requests[static_cast<std::size_t>(i)].page) {
                pictures[i] = picture.picture;
            }
        }
    }
    return pictures;
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

// A turn moves the marker one corner on clockwise per quarter.
TEST_F(ThumbnailStoreFileTest, PicturesAreTurnedClockwise)
{
    ThumbnailStore store;
    const QByteArray upright = store.draw({page(0)}).value(0);
    store.rememberDrawn(page(0), upright);
    for (const std::int64_t rotation : {90, 180, 270}) {
        SCOPED_TRACE(rotation);
        const QByteArray turned = picturesFor(store, {{page(rotation), std::nullopt}}).value(0);
        const QSize size = pictureSize(upright);
        EXPECT_EQ(pictureSize(turned), rotation == 180 ? size : size.transposed());
        EXPECT_EQ(markedCorner(turned), rotation / 90);
    }
}

// The model's rotation test shows that a kept picture is turned without drawing; these are the
// cases it cannot reach.
TEST_F(ThumbnailStoreFileTest, PicturesComeFromWhatIsAtHandWithoutDrawing)
{
    const QByteArray upright = ThumbnailStore::draw({page(0)}).value(0);
    fs::remove(file); // from here on, drawing would give nothing
    // Keeps nothing, so only the card's own picture can be turned.
    ThumbnailStore forgetful(1);
    const QByteArray own = picturesFor(forgetful, {{page(90), ThumbnailStore::Base{page(0), upright}}}).value(0);
    EXPECT_EQ(markedCorner(own), 1) << "top right";

    ThumbnailStore store;
    const PageDescriptor blank(PageContent::blank(PageSize::letter), 0);
    const QByteArray blankPicture = picturesFor(store, {{blank, std::nullopt}}).value(0);
    EXPECT_EQ(picturesFor(store, {{PageDescriptor(blank.content, 90), std::nullopt}}).value(0).constData(),
              blankPicture.constData())
        << "a blank page's picture does not turn";
}

TEST_F(ThumbnailStoreFileTest, ANewDrawingReplacesThePicturesOfAChangedFile)
{
    ThumbnailStore store;
    store.rememberDrawn(page(0), ThumbnailStore::draw({page(90)}).value(0)); // the page was landscape
    EXPECT_EQ(pictureSize(picturesFor(store, {{page(90), std::nullopt}}).value(0)), QSize(216, 360));
    store.rememberDrawn(page(0), ThumbnailStore::draw({page(0)}).value(0));
    EXPECT_EQ(pictureSize(picturesFor(store, {{page(90), std::nullopt}}).value(0)), QSize(360, 216));
}

} // namespace
} // namespace lumafold::test
