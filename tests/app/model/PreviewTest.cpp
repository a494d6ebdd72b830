// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/LumafoldEngine.h"
#include "tests/app/model/ModelTestSupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
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
        ASSERT_EQ(assembler.calls(), 1);
    }
    std::vector<PageDescriptor> descriptors() const
    {
        std::vector<PageDescriptor> all;
        for (const PageItem& card : m_model->pages()) {
            all.push_back(card.descriptor);
        }
        return all;
    }
};

TEST_F(PreviewTest, QuickEditsAssembleOnceTheLastStateAfterTheQuietTime)
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
    ASSERT_EQ(assembler.calls(), 2);
    // Timers may round to the millisecond; the quiet time starts again with every edit.
    EXPECT_GE(assembler.startTimes().back() - lastEdit, std::chrono::milliseconds(AppModel::previewDelayMs - 2));
    EXPECT_EQ(assembler.pageLists().back(), descriptors());
    ASSERT_TRUE(model().previewResult());
    EXPECT_EQ(model().previewResult()->pageCount, 5);
}

TEST_F(PreviewTest, ANewRequestDuringAssemblyDropsTheOldResult)
{
    addCards(3);
    assembler.hold();
    model().refreshPreview();
    ASSERT_TRUE(QTest::qWaitFor([this] { return assembler.waiting() == 1; }, 10'000));
    QSignalSpy published(&model(), &AppModel::previewResultChanged);
    // The same pages with another flag: only the request itself tells the results apart.
    model().setRemoveMetadata(true);
    model().refreshPreview();
    assembler.release();
    waitForPreview();
    EXPECT_EQ(published.count(), 1);
    EXPECT_EQ(assembler.metadataFlags(), (std::vector<bool>{false, false, true}));
    EXPECT_TRUE(model().previewResult());
}

TEST_F(PreviewTest, AnEditDuringAssemblyDropsThatResult)
{
    addCards(3);
    assembler.hold();
    model().selectAll();
    model().rotateSelected(true);
    ASSERT_TRUE(QTest::qWaitFor([this] { return assembler.waiting() == 1; }, 10'000));
    QSignalSpy published(&model(), &AppModel::previewResultChanged);
    model().rotateSelected(true);
    assembler.release();
    waitForPreview();
    ASSERT_EQ(assembler.calls(), 3);
    EXPECT_EQ(assembler.pageLists()[2], descriptors());
    EXPECT_EQ(assembler.pageLists()[2][0].rotation, 180);
    // Only the newest request's result was ever shown.
    EXPECT_EQ(published.count(), 1);
    ASSERT_TRUE(model().previewResult());
    EXPECT_EQ(model().previewResult()->pageCount, 3);
}

TEST_F(PreviewTest, AResultForAPageListThatChangedMeanwhileIsDropped)
{
    addCards(3);
    assembler.hold();
    model().refreshPreview();
    ASSERT_TRUE(QTest::qWaitFor([this] { return assembler.waiting() == 1; }, 10'000));
    PageList fewer = model().pages();
    fewer.removeLast();
    model().setPages(fewer); // no request of its own
    assembler.release();
    QTest::qWait(300);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(model().previewResult());
    EXPECT_TRUE(model().isRenderingPreview()) << "a dropped result leaves the state as it was";
}

TEST_F(PreviewTest, AVanishedSourceBecomesThePreviewError)
{
    addCards(2);
    fs::remove(dir / "a.pdf");
    model().selectAll();
    model().rotateSelected(true);
    waitForPreview();
    EXPECT_FALSE(model().previewResult());
    EXPECT_EQ(model().previewError(),
              QString::fromStdString(LumafoldError::cannotRead(dir / "a.pdf").errorDescription()));
    EXPECT_FALSE(model().errorMessage());

    model().removeAll();
    EXPECT_FALSE(model().previewError());
}

TEST_F(PreviewTest, ThePreviewCoversEveryCardWithTheCurrentMetadataFlag)
{
    addCards(5);
    model().setExportMode(PagesExportMode::selected);
    model().setSelection({model().pages()[2].id});
    model().setRemoveMetadata(true);
    EXPECT_FALSE(model().isRenderingPreview()) << "assigning the flag alone asks for nothing";
    model().refreshPreview();
    waitForPreview();
    ASSERT_EQ(assembler.calls(), 2);
    EXPECT_EQ(assembler.metadataFlags(), (std::vector<bool>{false, true}));
    ASSERT_TRUE(model().previewResult());
    EXPECT_EQ(model().previewResult()->pageCount, 5);
}

TEST_F(PreviewTest, UndoingToAShownListAssemblesAgain)
{
    addCards(2);
    model().selectAll();
    model().rotateSelected(true);
    waitForPreview();
    model().undo();
    EXPECT_FALSE(model().previewResult());
    waitForPreview();
    EXPECT_EQ(assembler.calls(), 3);
    EXPECT_TRUE(model().previewResult());
}

TEST_F(PreviewTest, AnEmptyWorkspaceHasNoPreview)
{
    addCards(1);
    model().selectAll();
    model().removeSelected();
    EXPECT_FALSE(model().previewResult() || model().previewError() || model().isRenderingPreview());
    QTest::qWait(AppModel::previewDelayMs + 150);
    EXPECT_EQ(assembler.calls(), 1);
}

} // namespace
} // namespace lumafold::test
