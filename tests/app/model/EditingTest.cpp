// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ModelTestSupport.h"

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

using EditingTest = ModelTest;

// A change clears the redo steps; undo and redo keep the selection of the cards that remain and
// select nothing new.
TEST_F(EditingTest, HistoryKeepsFiftyStepsAndTheSelectionOfTheCardsThatRemain)
{
    addCards({100});
    model().undo(); // the add's step now waits on the redo stack
    for (int i = 0; i < 51; ++i) {
        model().insertBlankPage();
    }
    EXPECT_TRUE(model().redoStack().isEmpty());
    const PageList newest = model().pages();
    select({0, 50});
    for (int i = 0; i < 60; ++i) {
        model().undo();
    }
    ASSERT_EQ(model().pages().size(), 1) << "fifty steps back from 51 blank pages";
    EXPECT_EQ(model().selection(), QSet<QUuid>{id(0)});
    for (int i = 0; i < 60; ++i) {
        model().redo();
    }
    EXPECT_EQ(model().pages(), newest);
    EXPECT_EQ(model().selection(), QSet<QUuid>{id(0)});
}

// Which way a picture turns is the store's business (ThumbnailStoreTest); here, that it arrives,
// also on a card brought back by undo from a step taken while its picture was on its way.
TEST_F(EditingTest, RotatedCardsGetTurnedPicturesWithoutDrawingAgainAlsoAfterUndo)
{
    addCards({100, 110});
    const PageList upright = model().pages();
    const QSize size = pictureSize(0);
    fs::remove(dir / "cards.pdf"); // from here on, drawing would give nothing
    model().rotateSelected(true);
    EXPECT_EQ(model().pages()[0].descriptor.rotation, 90);
    EXPECT_EQ(pictureSize(0), size) << "the old picture stays until the turned one arrives";
    EXPECT_TRUE(QTest::qWaitFor([&] { return pictureSize(0) == size.transposed(); }));
    model().rotateSelected(false);
    EXPECT_EQ(model().pages()[0].thumbnailData.constData(), upright[0].thumbnailData.constData())
        << "a rotation seen before reuses its picture";
    model().rotateSelected(false);
    EXPECT_EQ(model().pages()[0].descriptor.rotation, 270);
    EXPECT_EQ(model().pages()[1], upright[1]) << "unselected cards stay";
    select({1});
    model().removeSelected(); // its undo step still holds the first card's upright picture
    ASSERT_TRUE(QTest::qWaitFor([&] { return pictureSize(0) == size.transposed(); }));
    model().undo();
    EXPECT_EQ(pictureSize(0), size.transposed());
}

TEST_F(EditingTest, AMovedCardEndsDirectlyBeforeItsTarget)
{
    addCards({100, 110, 120, 130});
    // {from, before, widths after}
    const std::tuple<int, int, std::vector<double>> moves[] = {
        {0, 3, {110, 120, 100, 130}}, {3, 0, {130, 100, 110, 120}}, {1, 2, {100, 110, 120, 130}}};
    for (const auto& [from, before, widths] : moves) {
        SCOPED_TRACE(from);
        model().movePage(id(from), id(before));
        EXPECT_EQ(cardWidths(), widths);
        EXPECT_EQ(model().undoStack().size(), 2) << "a move, even in place, is a step";
        model().undo();
    }
    model().movePage(id(2), id(2));
    model().movePage(QUuid::createUuid(), id(0));
    model().movePage(id(0), QUuid::createUuid());
    EXPECT_EQ(model().undoStack().size(), 1);
}

TEST_F(EditingTest, CopiesFollowTheirOriginalsAndBecomeTheSelection)
{
    addCards({100, 110, 120, 130});
    select({1, 3});
    model().duplicateSelected();
    EXPECT_EQ(cardWidths(), (std::vector<double>{100, 110, 110, 120, 130, 130}));
    EXPECT_EQ(model().selection(), (QSet<QUuid>{id(2), id(5)}));
    PageItem original = model().pages()[4];
    EXPECT_NE(original.id, id(5));
    original.id = id(5);
    EXPECT_EQ(model().pages()[5], original) << "the same page, picture and name";
}

TEST_F(EditingTest, ABlankPageFollowsTheLastSelectedCardOrEndsTheList)
{
    addCards({100, 110, 120});
    model().setBlankPageSize(PageSize::letter);
    select({0, 1});
    model().insertBlankPage();
    model().setSelection({});
    model().insertBlankPage();
    EXPECT_EQ(cardWidths(), (std::vector<double>{100, 110, 612, 120, 612}));
    EXPECT_EQ(model().selection(), QSet<QUuid>{id(4)});
    const PageItem& blank = model().pages()[4];
    EXPECT_EQ(std::pair(blank.sourceName, blank.sourcePage), std::pair(QString("Blank page"), std::optional<qint64>()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pictureSize(4).width() < pictureSize(4).height(); })) << "portrait";
}

// Emptying, either way, ends the preview; removing all also cancels a request still waiting.
TEST_F(EditingTest, RemovingSelectsTheFirstRemainingCardAndEmptyingEndsThePreview)
{
    const auto expectEmptied = [this] {
        EXPECT_TRUE(model().pages().isEmpty() && model().selection().isEmpty());
        EXPECT_FALSE(model().previewResult() || model().previewError() || model().isRenderingPreview());
    };
    addCards({100, 110, 120, 130, 140});
    select({1, 2, 4});
    model().removeSelected();
    EXPECT_EQ(cardWidths(), (std::vector<double>{100, 130}));
    EXPECT_EQ(model().selection(), QSet<QUuid>{id(0)});
    waitWhile(&AppModel::isRenderingPreview);
    const auto assemblies = calls().size();
    model().refreshPreview();
    model().removeAll();
    expectEmptied();
    QTest::qWait(AppModel::previewDelayMs + 150);
    EXPECT_EQ(calls().size(), assemblies);
    model().undo();
    model().selectAll();
    model().removeSelected();
    expectEmptied();
}

// Parsing and its messages are the engine's (PageRangeTest); the window shows a range selecting.
TEST_F(EditingTest, AWrongRangeIsReportedAndChangesNothing)
{
    addCards({100, 110, 120});
    model().selectRange("4");
    EXPECT_TRUE(model().errorMessage());
    EXPECT_EQ(model().selection(), QSet<QUuid>{id(0)});
}

// Selecting, moving and the history are not blocked by a running export; every other edit is.
TEST_F(EditingTest, ARunningExportBlocksEditsButNotMovingOrHistory)
{
    addCards({100, 110, 120});
    model().rotateSelected(true);
    model().setIsExporting(true);
    const PageList before = model().pages();
    model().rotateSelected(true);
    model().duplicateSelected();
    model().removeSelected();
    model().removeAll();
    model().insertBlankPage();
    model().add(urls({dir / "cards.pdf"}));
    model().choosePDFs();
    EXPECT_TRUE(dialogs.fileQuestions.empty());
    EXPECT_FALSE(model().isLoading());
    EXPECT_EQ(model().pages(), before);

    model().movePage(id(2), id(0));
    EXPECT_EQ(cardWidths(), (std::vector<double>{120, 100, 110}));
    model().undo();
    model().undo();
    EXPECT_EQ(model().pages()[0].descriptor.rotation, 0);
}

// A list kept only from the structural signals must always equal the model's, so an item-model
// adapter can follow every change without resetting.
TEST_F(EditingTest, StructuralSignalsDescribeEveryChange)
{
    AppModel& m = model();
    const auto ids = [&] {
        QList<QUuid> all;
        for (const PageItem& card : m.pages()) {
            all.append(card.id);
        }
        return all;
    };
    QList<QUuid> mirror;
    QObject::connect(&m, &AppModel::pagesInserted, [&](int first, int last) {
        for (int i = first; i <= last; ++i) {
            mirror.insert(i, m.pages().at(i).id);
        }
    });
    QObject::connect(&m, &AppModel::pagesAboutToBeRemoved,
                     [&](int first, int last) { mirror.remove(first, last - first + 1); });
    QObject::connect(&m, &AppModel::pageAboutToBeMoved, [&](int from, int to) { mirror.move(from, to); });
    QObject::connect(&m, &AppModel::pagesReset, [&] { mirror = ids(); });
    const auto expectMirrored = [&](const char* step) {
        EXPECT_EQ(mirror, ids()) << step;
    };
    addCards({100, 110, 120, 130, 140});
    expectMirrored("add");
    select({0, 2, 4});
    m.duplicateSelected();
    expectMirrored("duplicate");
    select({1, 2, 5, 7});
    m.removeSelected();
    expectMirrored("remove");
    m.movePage(id(0), id(3));
    expectMirrored("move forward");
    m.movePage(id(3), id(1));
    expectMirrored("move back");
    m.undo();
    m.undo();
    expectMirrored("undo");
    m.redo();
    expectMirrored("redo");
    m.removeAll();
    expectMirrored("remove all");
}

} // namespace
} // namespace lumafold::test
