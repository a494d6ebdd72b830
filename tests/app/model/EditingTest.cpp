// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/LumafoldEngine.h"
#include "tests/app/model/ModelTestSupport.h"

#include <QImage>
#include <QSignalSpy>

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

class EditingTest : public ModelTest
{
protected:
    // Cards A, B, C, ... of widths 100, 110, 120, ...
    void addCards(int count)
    {
        writeWidthsPdf(dir / "cards.pdf", count);
        addAndWait(fileUrls({dir / "cards.pdf"}));
        ASSERT_EQ(model().pages().size(), count);
    }
    QList<QUuid> ids()
    {
        QList<QUuid> all;
        for (const PageItem& card : model().pages()) {
            all.append(card.id);
        }
        return all;
    }
};

TEST_F(EditingTest, HistoryKeepsFiftyStepsAndAnyChangeClearsRedo)
{
    addCards(1);
    model().undo(); // back to empty; the add's step now waits on the redo stack
    for (int i = 0; i < 51; ++i) {
        model().insertBlankPage();
    }
    EXPECT_EQ(model().undoStack().size(), 50);
    EXPECT_TRUE(model().redoStack().isEmpty());
    const PageList newest = model().pages();
    const PageList oldest = model().undoStack().first();
    ASSERT_EQ(oldest.size(), 1);

    // Undo and redo keep the selection, less the cards that vanished, and select nothing new.
    model().setSelection({id(0), newest.last().id});
    model().undo();
    EXPECT_EQ(model().selection(), QSet<QUuid>{id(0)});
    model().setSelection({});
    model().redo();
    EXPECT_TRUE(model().selection().isEmpty());
    EXPECT_EQ(model().pages(), newest);

    for (int i = 0; i < 50; ++i) {
        model().undo();
    }
    EXPECT_EQ(model().pages(), oldest);
    QSignalSpy pagesChanged(&model(), &AppModel::pagesChanged);
    model().undo();
    EXPECT_EQ(pagesChanged.count(), 0) << "nothing left to undo"; // redo shares the guard
    for (int i = 0; i < 50; ++i) {
        model().redo();
    }
    EXPECT_EQ(model().pages(), newest);
}

TEST_F(EditingTest, RotationTurnsTheSelectedCardsWithoutDrawingAgain)
{
    addCards(2);
    const PageList upright = model().pages();
    const QSize size = QImage::fromData(upright[0].thumbnailData, "JPEG").size();
    fs::remove(dir / "cards.pdf"); // from here on, drawing would give nothing
    select({0});
    for (const std::int64_t rotation : {90, 180, 270, 0}) {
        SCOPED_TRACE(rotation);
        model().rotateSelected(true);
        const PageItem& card = model().pages()[0];
        EXPECT_EQ(card.descriptor.rotation, rotation);
        EXPECT_EQ(QImage::fromData(card.thumbnailData, "JPEG").size(), rotation % 180 ? size.transposed() : size);
    }
    EXPECT_EQ(model().pages()[0].thumbnailData.constData(), upright[0].thumbnailData.constData())
        << "a rotation seen before reuses its picture";
    model().rotateSelected(false);
    EXPECT_EQ(model().pages()[0].descriptor.rotation, 270);
    EXPECT_EQ(model().pages()[1], upright[1]) << "unselected cards stay";
    // Snapshots share the cards' bytes instead of copying them.
    EXPECT_EQ(model().undoStack()[1][1].thumbnailData.constData(), upright[1].thumbnailData.constData());
}

TEST_F(EditingTest, MovingPutsTheCardDirectlyBeforeTheTarget)
{
    addCards(4);
    const QUuid chosen = id(1);
    model().setSelection({chosen});
    model().movePage(id(0), id(3));
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{110, 120, 100, 130}));
    model().undo();
    model().movePage(id(3), id(0));
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{130, 100, 110, 120}));
    model().undo();
    waitForPreview();
    const auto steps = model().undoStack().size();
    model().movePage(id(1), id(2));
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{100, 110, 120, 130}));
    EXPECT_EQ(model().undoStack().size(), steps + 1) << "a move in place is still a step";
    EXPECT_TRUE(model().isRenderingPreview());
    model().movePage(id(2), id(2));
    model().movePage(QUuid::createUuid(), id(0));
    model().movePage(id(0), QUuid::createUuid());
    EXPECT_EQ(model().undoStack().size(), steps + 1);
    EXPECT_EQ(model().selection(), QSet<QUuid>{chosen});
}

TEST_F(EditingTest, DuplicatesAndBlankPagesFollowTheSelectionAndBecomeIt)
{
    addCards(4);
    const QList<QUuid> before = ids();
    select({1, 3});
    model().duplicateSelected();
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{100, 110, 110, 120, 130, 130}));
    EXPECT_EQ(model().selection(), (QSet<QUuid>{id(2), id(5)}));
    for (const int copy : {2, 5}) {
        SCOPED_TRACE(copy);
        EXPECT_FALSE(before.contains(id(copy)));
        PageItem expected = model().pages()[copy - 1];
        expected.id = id(copy);
        EXPECT_EQ(model().pages()[copy], expected);
    }

    model().setBlankPageSize(PageSize::letter);
    select({1, 3});
    model().insertBlankPage();
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{100, 110, 110, 120, 612, 130, 130}));
    const PageItem& blank = model().pages()[4];
    EXPECT_EQ(blank.sourceName, "Blank page");
    EXPECT_FALSE(blank.sourcePage.has_value());
    EXPECT_EQ(blank.descriptor, PageDescriptor(PageContent::blank(PageSize::letter), 0));
    const QImage picture = QImage::fromData(blank.thumbnailData, "JPEG");
    EXPECT_LT(picture.width(), picture.height());
    EXPECT_EQ(model().selection(), QSet<QUuid>{blank.id});
    model().setSelection({});
    model().insertBlankPage();
    EXPECT_EQ(cardWidths(model()).back(), 612) << "with nothing selected, at the end";

    model().revealSource(model().pages().last());
    EXPECT_TRUE(dialogs.revealed.empty());
    model().revealSource(model().pages()[0]);
    EXPECT_EQ(dialogs.revealed, std::vector<QList<QUrl>>{fileUrls({dir / "cards.pdf"})});
}

TEST_F(EditingTest, RemovingSelectsTheFirstRemainingCardAndEmptyingClearsThePreview)
{
    addCards(5);
    select({1, 2, 4});
    model().removeSelected();
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{100, 130}));
    EXPECT_EQ(model().selection(), QSet<QUuid>{id(0)});

    waitForPreview();
    ASSERT_TRUE(model().previewResult().has_value());
    const auto assemblies = assembler.calls().size();
    model().refreshPreview(); // a request still waiting
    model().removeAll();
    EXPECT_TRUE(model().pages().isEmpty() && model().selection().isEmpty());
    EXPECT_FALSE(model().previewResult() || model().previewError() || model().isRenderingPreview());
    QTest::qWait(AppModel::previewDelayMs + 150);
    EXPECT_EQ(assembler.calls().size(), assemblies) << "the waiting request was cancelled";

    model().undo();
    ASSERT_EQ(model().pages().size(), 2);
    model().selectAll();
    model().removeSelected();
    EXPECT_TRUE(model().pages().isEmpty() && model().selection().isEmpty());
    EXPECT_FALSE(model().previewResult() || model().previewError() || model().isRenderingPreview());
}

// Selecting, moving and the history are not blocked by a running export; every other edit is.
TEST_F(EditingTest, ARunningExportBlocksEditsButNotSelectingMovingOrHistory)
{
    const auto invalid = [](const char* text) {
        return QString::fromStdString(LumafoldError::invalidRange(text).errorDescription());
    };
    model().selectRange("1");
    EXPECT_EQ(model().errorMessage(), invalid("1")) << "no cards";
    addCards(5);
    select({0});
    model().rotateSelected(true);
    model().setIsExporting(true);
    const PageList before = model().pages();
    model().rotateSelected(true);
    model().duplicateSelected();
    model().removeSelected();
    model().removeAll();
    model().insertBlankPage();
    model().add(fileUrls({dir / "cards.pdf"}));
    dialogs.fileAnswer = fileUrls({dir / "cards.pdf"});
    model().choosePDFs();
    EXPECT_TRUE(dialogs.fileQuestions.empty());
    EXPECT_FALSE(model().isLoading());
    EXPECT_EQ(model().pages(), before);
    EXPECT_EQ(model().undoStack().size(), 2);

    model().selectRange("2-3");
    EXPECT_EQ(model().selection(), (QSet<QUuid>{id(1), id(2)}));
    model().selectRange("6");
    EXPECT_EQ(model().errorMessage(), invalid("6"));
    EXPECT_EQ(model().selection(), (QSet<QUuid>{id(1), id(2)}));
    model().selectRange(",");
    EXPECT_TRUE(model().selection().isEmpty());
    model().selectAll();
    EXPECT_EQ(model().selection().size(), 5);
    EXPECT_EQ(model().undoStack().size(), 2) << "selecting is no undo step";

    model().movePage(id(2), id(0));
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{120, 100, 110, 130, 140}));
    model().undo();
    model().undo();
    EXPECT_EQ(model().pages()[0].descriptor.rotation, 0);
    model().redo();
    EXPECT_EQ(model().pages()[0].descriptor.rotation, 90);
}

// A list kept only from the structural signals must always equal the model's, so an item-model
// adapter can follow every change without resetting.
TEST_F(EditingTest, StructuralSignalsDescribeEveryChange)
{
    QList<QUuid> mirror;
    AppModel& m = model();
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
        SCOPED_TRACE(step);
        EXPECT_EQ(mirror, ids());
    };
    addCards(5);
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
