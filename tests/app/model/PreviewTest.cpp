// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ModelTestSupport.h"

#include <QSignalSpy>

namespace lumafold::test {
namespace {

class PreviewTest : public ModelTest
{
protected:
    void SetUp() override
    {
        addCards({100, 110, 120});
        waitWhile(&AppModel::isRenderingPreview);
        model().selectAll();
    }
    std::vector<PageDescriptor> descriptors()
    {
        std::vector<PageDescriptor> all;
        std::ranges::transform(model().pages(), std::back_inserter(all), &PageItem::descriptor);
        return all;
    }
};

TEST_F(PreviewTest, QuickEditsAssembleOnceTheLastStateAfterAQuietTime)
{
    std::chrono::steady_clock::time_point lastEdit;
    for (int i = 0; i < 3; ++i) {
        QTest::qWait(i == 0 ? 0 : 100);
        model().rotateSelected(true);
        lastEdit = std::chrono::steady_clock::now();
        EXPECT_TRUE(model().isRenderingPreview() && !model().previewResult());
    }
    waitWhile(&AppModel::isRenderingPreview);
    ASSERT_EQ(calls().size(), 2u);
    // Timers may round to the millisecond; the quiet time starts again with every edit.
    EXPECT_GE(calls().back().start - lastEdit, std::chrono::milliseconds(AppModel::previewDelayMs - 2));
    EXPECT_EQ(calls().back().pages, descriptors());
    EXPECT_TRUE(model().previewResult());
    model().undo();
    waitWhile(&AppModel::isRenderingPreview);
    EXPECT_EQ(calls().back().pages, descriptors()) << "undo asks for a preview too";
}

TEST_F(PreviewTest, AVanishedSourceIsThePreviewError)
{
    std::filesystem::remove(dir / "cards.pdf");
    model().rotateSelected(true);
    waitWhile(&AppModel::isRenderingPreview);
    EXPECT_TRUE(model().previewError() && !model().previewResult() && !model().errorMessage());
    model().removeAll();
    EXPECT_FALSE(model().previewError());
}

// Only a result for the newest request may be shown; for the same pages, only the request itself
// tells the results apart. The preview covers every card whatever the export mode, with the flag
// of its request.
TEST_F(PreviewTest, AResultForTheSamePagesButAnOlderFlagIsDropped)
{
    model().setExportMode(PagesExportMode::selected);
    select({1});
    model().setRemoveMetadata(true);
    EXPECT_FALSE(model().isRenderingPreview()) << "assigning the flag alone asks for nothing";
    holdAssembly([this] { model().refreshPreview(); });
    QSignalSpy published(&model(), &AppModel::previewResultChanged);
    model().setRemoveMetadata(false);
    model().refreshPreview();
    held = false;
    waitWhile(&AppModel::isRenderingPreview);
    EXPECT_EQ(published.count(), 1);
    const auto made = calls();
    ASSERT_EQ(made.size(), 3u);
    EXPECT_TRUE(made[1].removeMetadata);
    EXPECT_FALSE(made[2].removeMetadata);
    EXPECT_EQ(made[2].pages, descriptors());
}

} // namespace
} // namespace lumafold::test
