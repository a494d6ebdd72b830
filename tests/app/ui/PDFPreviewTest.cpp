// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/PDFPreview.h"
#include "WindowTestSupport.h"

#include <QScrollBar>
#include <QSignalSpy>

#include <set>

using namespace lumafold;
using namespace lumafold::test;

namespace {

QByteArray pdfBytes(int pages, const std::string& label = "Page")
{
    PdfLayout layout;
    for (int i = 0; i < pages; ++i) {
        layout.pages.push_back(PageLayout{.label = label + " " + std::to_string(i + 1)});
    }
    return QByteArray::fromStdString(makePdf(layout));
}

class PDFPreviewTest : public ::testing::Test
{
protected:
    PDFPreviewTest()
    {
        preview.resize(420, 600);
        preview.show();
    }

    // Shows `pdf` and returns the page count it was loaded with, or -1 when it never was.
    int load(const QByteArray& pdf, int waitMs = 5000)
    {
        QSignalSpy loaded(&preview, &PDFPreview::documentLoaded);
        preview.setData(pdf);
        return loaded.wait(waitMs) ? loaded.takeFirst().at(0).toInt() : -1;
    }
    bool drawn(int page)
    {
        return QTest::qWaitFor([&] { return !preview.pageImage(page).isNull(); }, 5000);
    }

    QScrollBar& scrollBar() { return *preview.verticalScrollBar(); }

    PDFPreview preview;
};

} // namespace

TEST_F(PDFPreviewTest, TheSameBytesKeepThePicturesAndOtherBytesReplaceTheDocumentAtTheSamePage)
{
    const QByteArray pdf = pdfBytes(30);
    ASSERT_EQ(load(pdf), 30);
    scrollBar().setValue(scrollBar().value() + preview.pageRect(20).top());
    ASSERT_TRUE(drawn(20));
    const QImage first = preview.pageImage(20);

    EXPECT_EQ(load(QByteArray(pdf.constData(), pdf.size()), 300), -1); // equal, not shared

    ASSERT_EQ(load(pdfBytes(40, "Other")), 40);
    EXPECT_EQ(preview.pageAt(QPoint(preview.viewport()->width() / 2, 1)), 20);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !preview.pageImage(20).isNull() && preview.pageImage(20) != first; }));
}

// End goes to the last page, passing every page between unasked.
TEST_F(PDFPreviewTest, EndAndHomeScrollToEitherEndAndOnlyThePagesInViewAreDrawn)
{
    QSignalSpy drawnPages(&preview, &PDFPreview::pageDrawn);
    ASSERT_EQ(load(pdfBytes(200)), 200);
    QTest::keyClick(&preview, Qt::Key_End);
    EXPECT_EQ(scrollBar().value(), scrollBar().maximum());
    ASSERT_TRUE(drawn(199));
    QTest::qWait(300); // time enough to draw many more pages, were they asked for

    std::set<int> pages;
    for (const auto& arguments : drawnPages) {
        pages.insert(arguments.at(0).toInt());
    }
    EXPECT_LE(pages.size(), 10u);
    for (const int page : pages) {
        EXPECT_TRUE(page <= 3 || page >= 195) << page << " drawn, 199 at the end";
    }
    QTest::keyClick(&preview, Qt::Key_Home);
    EXPECT_EQ(scrollBar().value(), 0);
}

TEST_F(PDFPreviewTest, PagesAreDrawnForTheScreensPixels)
{
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
        ASSERT_EQ(preview.devicePixelRatioF(), 2.0);
    }
    ASSERT_EQ(load(pdfBytes(3)), 3);
    ASSERT_TRUE(drawn(0));
    preview.resize(700, 600); // drawn again for the new width
    const QRect place = preview.pageRect(0);
    const qreal ratio = preview.devicePixelRatioF();
    ASSERT_TRUE(QTest::qWaitFor([&] { return preview.pageImage(0).width() == qRound(place.width() * ratio); }))
        << preview.pageImage(0).width() << " pixels for " << place.width() << " points at " << ratio;
    EXPECT_NEAR(preview.pageImage(0).height(), place.height() * ratio, 1.0);
    EXPECT_EQ(preview.pageImage(0).devicePixelRatio(), ratio);
}
