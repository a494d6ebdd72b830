// SPDX-License-Identifier: AGPL-3.0-or-later
#include "app/model/ThumbnailStore.h"
#include "core/LumafoldEngine.h"
#include "tests/app/model/ModelTestSupport.h"
#include "tests/support/PdfFactory.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

enum class Corner
{
    topLeft,
    topRight,
    bottomRight,
    bottomLeft,
};

// The corner whose patch is the reddest.
Corner reddestCorner(const QByteArray& jpeg)
{
    const QImage image = QImage::fromData(jpeg, "JPEG");
    const int w = image.width() - 1;
    const int h = image.height() - 1;
    const std::pair<Corner, QPoint> corners[] = {{Corner::topLeft, {2, 2}},
                                                 {Corner::topRight, {w - 2, 2}},
                                                 {Corner::bottomRight, {w - 2, h - 2}},
                                                 {Corner::bottomLeft, {2, h - 2}}};
    Corner best = Corner::topLeft;
    int bestRedness = -1000;
    for (const auto& [corner, point] : corners) {
        const QColor colour = image.pixelColor(point);
        if (colour.red() - colour.green() > bestRedness) {
            bestRedness = colour.red() - colour.green();
            best = corner;
        }
    }
    return best;
}

QByteArray markedJpeg()
{
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter(&image).fillRect(0, 0, 8, 8, Qt::red);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return jpeg;
}

class ThumbnailStoreFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PdfSpec layout;
        layout.pages.push_back(PageSpec{.width = 300, .height = 500, .cornerMarker = true});
        layout.pages.push_back(PageSpec{.width = 500, .height = 300, .rotate = 90, .cornerMarker = true});
        writePdf(file, layout);
    }
    PageDescriptor page(int index, std::int64_t rotation) const
    {
        return PageDescriptor(PageContent::source(file, index), rotation);
    }

    TempDir dir;
    fs::path file = dir / "marked.pdf";
};

TEST_F(ThumbnailStoreFileTest, TurnedPicturesMatchWhatTheEngineDraws)
{
    for (const int index : {0, 1}) {
        ThumbnailStore store;
        store.rememberDrawn(page(index, 0), store.draw({page(index, 0)}).value(0));
        for (const std::int64_t rotation : {90, 180, 270}) {
            SCOPED_TRACE(std::to_string(index) + " at " + std::to_string(rotation));
            const QByteArray turned = store.picturesFor({{page(index, rotation), std::nullopt}}).value(0);
            const auto drawn = LumafoldEngine::thumbnailData(page(index, rotation), ThumbnailStore::maxPixelSize);
            ASSERT_TRUE(drawn.has_value());
            const QByteArray engine(reinterpret_cast<const char*>(drawn->data()),
                                    static_cast<qsizetype>(drawn->size()));
            EXPECT_EQ(QImage::fromData(turned, "JPEG").size(), QImage::fromData(engine, "JPEG").size());
            EXPECT_EQ(reddestCorner(turned), reddestCorner(engine));
        }
    }
}

TEST_F(ThumbnailStoreFileTest, APictureOnceMadeIsNeverDrawnAgain)
{
    ThumbnailStore store;
    const QByteArray first = store.picturesFor({{page(0, 0), std::nullopt}}).value(0);
    ASSERT_FALSE(first.isNull());
    fs::remove(file); // from here on, drawing would give nothing
    const QList<QByteArray> again =
        store.picturesFor({{page(0, 0), std::nullopt}, {page(0, 90), std::nullopt}, {page(0, 90), std::nullopt}});
    ASSERT_EQ(again.size(), 3);
    EXPECT_EQ(again[0].constData(), first.constData()) << "shared, not copied";
    EXPECT_FALSE(again[1].isNull()) << "turned from the picture already made";
    EXPECT_EQ(again[1].constData(), again[2].constData());

    const PageDescriptor blank(PageContent::blank(PageSize::letter), 0);
    const QByteArray upright = store.picturesFor({{blank, std::nullopt}}).value(0);
    EXPECT_EQ(store.picturesFor({{PageDescriptor(blank.content, 90), std::nullopt}}).value(0).constData(),
              upright.constData())
        << "a blank page's picture does not turn";
}

TEST_F(ThumbnailStoreFileTest, ACardsOwnPictureServesWhenTheStoreHasForgotten)
{
    ThumbnailStore store(1); // keeps nothing
    const QByteArray upright = store.draw({page(0, 0)}).value(0);
    fs::remove(file);
    const QByteArray turned = store.picturesFor({{page(0, 90), ThumbnailStore::Base{page(0, 0), upright}}}).value(0);
    ASSERT_FALSE(turned.isNull());
    EXPECT_EQ(reddestCorner(turned), Corner::topRight);
    EXPECT_TRUE(store.picturesFor({{page(0, 180), std::nullopt}}).value(0).isNull());
}

TEST_F(ThumbnailStoreFileTest, ANewDrawingReplacesThePicturesOfAChangedFile)
{
    ThumbnailStore store;
    const QByteArray oldPicture = markedJpeg();
    store.rememberDrawn(page(0, 0), oldPicture);
    const QByteArray oldTurned = store.picturesFor({{page(0, 90), std::nullopt}}).value(0);
    EXPECT_EQ(QImage::fromData(oldTurned, "JPEG").size(), QSize(20, 40));
    store.rememberDrawn(page(0, 0), store.draw({page(0, 0)}).value(0));
    const QByteArray newTurned = store.picturesFor({{page(0, 90), std::nullopt}}).value(0);
    EXPECT_EQ(QImage::fromData(newTurned, "JPEG").size(), QSize(360, 216));
    EXPECT_TRUE(ThumbnailStore::turned("no jpeg", 90).isNull());
}

} // namespace
} // namespace lumafold::test
