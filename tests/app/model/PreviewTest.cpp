// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/LumafoldEngine.h"
#include "tests/app/model/ModelTestSupport.h"

#include <QSignalSpy>
#include <QThreadPool>

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

class PreviewTest : public ModelTest
{
protected:
    void addCards(int count)
    {
        writeWidthsPdf(dir / "a.pdf", count);
        addAndWait(fileUrls({dir / "a.pdf"}));
        waitForPreview();
        ASSERT_EQ(assembler.calls().size(), 1u);
    }
    std::vector<PageDescriptor> descriptors()
    {
        std::vector<PageDescriptor> all;
        for (const PageItem& card : model().pages()) {
            all.push_back(card.descriptor);
        }
        return all;
    }
};

TEST_F(PreviewTest, QuickEditsAssembleOnceTheLastStateAndAVanishedSourceIsTheError)
{
    addCards(5);
    model().selectAll();
    std::chrono::steady_clock::time_point lastEdit;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            QTest::qWait(100);
        }
        model().rotateSelected(true);
        lastEdit = std::chrono::steady_clock::now();
        EXPECT_TRUE(model().isRenderingPreview());
        EXPECT_FALSE(model().previewResult());
    }
    waitForPreview();
    ASSERT_EQ(assembler.calls().size(), 2u);
    // Timers may round to the millisecond; the quiet time starts again with every edit.
    EXPECT_GE(assembler.calls().back().start - lastEdit, std::chrono::milliseconds(AppModel::previewDelayMs - 2));
    EXPECT_EQ(assembler.calls().back().pages, descriptors());
    ASSERT_TRUE(model().previewResult());
    EXPECT_EQ(model().previewResult()->pageCount, 5);

    model().undo();
    EXPECT_FALSE(model().previewResult());
    waitForPreview();
    EXPECT_EQ(assembler.calls().size(), 3u);
    EXPECT_EQ(assembler.calls().back().pages, descriptors());
    EXPECT_TRUE(model().previewResult());

    fs::remove(dir / "a.pdf");
    model().redo();
    waitForPreview();
    EXPECT_FALSE(model().previewResult());
    EXPECT_EQ(model().previewError(),
              QString::fromStdString(LumafoldError::cannotRead(dir / "a.pdf").errorDescription()));
    EXPECT_FALSE(model().errorMessage());
    model().removeAll();
    EXPECT_FALSE(model().previewError());
}

// Only a result for the newest request and for the pages as they are now may be shown.
TEST_F(PreviewTest, AResultThatNoLongerMatchesIsDropped)
{
    addCards(3);
    model().selectAll();
    holdAssembly([this] { model().rotateSelected(true); });
    QSignalSpy published(&model(), &AppModel::previewResultChanged);
    model().rotateSelected(true); // an edit during assembly
    assembler.setHeld(false);
    waitForPreview();
    ASSERT_EQ(assembler.calls().size(), 3u);
    EXPECT_EQ(assembler.calls().back().pages, descriptors());
    EXPECT_EQ(published.count(), 1);

    // A new request for the same pages: only the request itself tells the results apart. The
    // preview covers every card whatever the export mode, with the flag of its request.
    model().setExportMode(PagesExportMode::selected);
    select({1});
    model().setRemoveMetadata(true);
    EXPECT_FALSE(model().isRenderingPreview()) << "assigning the flag alone asks for nothing";
    holdAssembly([this] { model().refreshPreview(); });
    published.clear();
    model().setRemoveMetadata(false);
    model().refreshPreview();
    assembler.setHeld(false);
    waitForPreview();
    EXPECT_EQ(published.count(), 1);
    const auto calls = assembler.calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_TRUE(calls[3].removeMetadata);
    EXPECT_FALSE(calls[4].removeMetadata);
    EXPECT_EQ(calls[4].pages, descriptors());

    // The same request, but the pages were assigned meanwhile (which asks for nothing).
    holdAssembly([this] { model().refreshPreview(); });
    PageList fewer = model().pages();
    fewer.removeLast();
    model().setPages(fewer);
    assembler.setHeld(false);
    QThreadPool::globalInstance()->waitForDone();
    QTest::qWait(100);
    EXPECT_FALSE(model().previewResult());
    EXPECT_TRUE(model().isRenderingPreview()) << "a dropped result leaves the state as it was";
}

} // namespace
} // namespace lumafold::test
