// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/LumafoldEngine.h"
#include "tests/app/model/ModelTestSupport.h"
#include "tests/support/PdfFactory.h"

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
    QUuid id(int position) const { return m_model->pages().at(position).id; }
    QList<QUuid> ids() const
    {
        QList<QUuid> all;
        for (const PageItem& card : m_model->pages()) {
            all.append(card.id);
        }
        return all;
    }
    void select(std::initializer_list<int> positions)
    {
        QSet<QUuid> chosen;
        for (const int position : positions) {
            chosen.insert(id(position));
        }
        model().setSelection(chosen);
    }
};

TEST_F(EditingTest, UndoKeepsTheLastFiftySnapshots)
{
    addCards(1);
    model().undo(); // back to empty; the add's step now waits on the redo stack
    for (int i = 0; i < 51; ++i) {
        model().insertBlankPage();
    }
    EXPECT_EQ(model().undoStack().size(), 50);
    EXPECT_TRUE(model().redoStack().isEmpty()) << "a change clears the redo history";
    const PageList afterFirst = model().undoStack().first();
    ASSERT_EQ(afterFirst.size(), 1);
    for (int i = 0; i < 50; ++i) {
        model().undo();
    }
    EXPECT_EQ(model().pages(), afterFirst);
    QSignalSpy pagesChanged(&model(), &AppModel::pagesChanged);
    model().undo();
    EXPECT_EQ(pagesChanged.count(), 0);
    EXPECT_EQ(model().pages(), afterFirst);
    EXPECT_EQ(model().redoStack().size(), 50);
}

TEST_F(EditingTest, UndoThenRedoRestoresCardsExactly)
{
    addCards(3);
    select({0, 2});
    model().rotateSelected(true);
    model().removeSelected();
    const PageList afterRemove = model().pages();
    model().undo();
    const PageList rotated = model().pages();
    ASSERT_EQ(rotated.size(), 3);
    EXPECT_EQ(rotated[0].descriptor.rotation, 90);
    model().undo();
    EXPECT_EQ(model().pages()[0].descriptor.rotation, 0);
    model().redo();
    EXPECT_EQ(model().pages(), rotated);
    model().redo();
    EXPECT_EQ(model().pages(), afterRemove);

    model().undo();
    model().insertBlankPage();
    EXPECT_TRUE(model().redoStack().isEmpty());
    QSignalSpy pagesChanged(&model(), &AppModel::pagesChanged);
    model().redo();
    EXPECT_EQ(pagesChanged.count(), 0);
}

TEST_F(EditingTest, UndoAndRedoKeepOnlyTheSelectedCardsThatStillExist)
{
    addCards(3);
    model().insertBlankPage(); // selects only the new blank card
    const QUuid blank = *model().selection().begin();
    model().setSelection({id(0), blank});
    model().undo(); // the blank card is gone
    EXPECT_EQ(model().selection(), QSet<QUuid>{id(0)});
    model().setSelection({});
    model().redo(); // it is back, but nothing new becomes selected
    EXPECT_TRUE(model().selection().isEmpty());
    EXPECT_EQ(model().pages().at(1).id, blank);
}

TEST_F(EditingTest, RotationTurnsCardsAndTheirPictures)
{
    addCards(2);
    const PageList upright = model().pages();
    const QByteArray original = upright[0].thumbnailData;
    const QImage before = QImage::fromData(original, "JPEG");
    select({0});
    const struct
    {
        bool clockwise;
        std::int64_t rotation;
    } steps[] = {{true, 90}, {true, 180}, {true, 270}, {true, 0}, {false, 270}, {false, 180}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.rotation);
        model().rotateSelected(step.clockwise);
        const PageItem& card = model().pages()[0];
        EXPECT_EQ(card.descriptor.rotation, step.rotation);
        const QImage picture = QImage::fromData(card.thumbnailData, "JPEG");
        const bool quarter = step.rotation % 180 != 0;
        EXPECT_EQ(picture.size(), quarter ? before.size().transposed() : before.size());
        EXPECT_EQ(model().pages()[1].descriptor.rotation, 0) << "unselected cards stay";
    }
    model().rotateSelected(false);
    model().rotateSelected(false);
    EXPECT_EQ(model().pages()[0].thumbnailData, original) << "a rotation seen before reuses its picture";
    // Snapshots share the cards' bytes instead of copying them.
    EXPECT_EQ(model().undoStack()[1][0].thumbnailData.constData(), original.constData());
    EXPECT_EQ(model().undoStack()[1][1].thumbnailData.constData(), upright[1].thumbnailData.constData());
    EXPECT_EQ(model().undoStack().size(), 9);
}

TEST_F(EditingTest, MovingPutsTheCardDirectlyBeforeTheTarget)
{
    const struct
    {
        int moved;
        int target;
        std::vector<double> order;
        bool recorded;
    } cases[] = {
        {0, 3, {110, 120, 100, 130}, true},
        {3, 0, {130, 100, 110, 120}, true},
        {1, 2, {100, 110, 120, 130}, true},
        {2, 2, {100, 110, 120, 130}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.moved) + " before " + std::to_string(c.target));
        m_model.reset();
        addCards(4);
        const auto steps = model().undoStack().size();
        model().setSelection({id(1)});
        waitForPreview();
        model().movePage(id(c.moved), id(c.target));
        EXPECT_EQ(cardWidths(model()), c.order);
        EXPECT_EQ(model().undoStack().size() - steps, c.recorded ? 1 : 0);
        EXPECT_EQ(model().isRenderingPreview(), c.recorded);
        EXPECT_EQ(model().selection().size(), 1);
    }
    const auto steps = model().undoStack().size();
    model().movePage(QUuid::createUuid(), id(0));
    model().movePage(id(0), QUuid::createUuid());
    EXPECT_EQ(model().undoStack().size(), steps);
}

TEST_F(EditingTest, DuplicatesFollowTheirOriginalsAndBecomeTheSelection)
{
    addCards(4);
    const QList<QUuid> before = ids();
    select({1, 3});
    model().duplicateSelected();
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{100, 110, 110, 120, 130, 130}));
    const PageList& cards = model().pages();
    EXPECT_EQ(model().selection(), (QSet<QUuid>{cards[2].id, cards[5].id}));
    for (const int copy : {2, 5}) {
        SCOPED_TRACE(copy);
        const PageItem& original = cards[copy - 1];
        EXPECT_FALSE(before.contains(cards[copy].id));
        EXPECT_EQ(cards[copy].descriptor, original.descriptor);
        EXPECT_EQ(cards[copy].sourceName, original.sourceName);
        EXPECT_EQ(cards[copy].sourcePage, original.sourcePage);
        EXPECT_EQ(cards[copy].thumbnailData, original.thumbnailData);
    }
    select({5});
    model().duplicateSelected();
    EXPECT_EQ(model().pages().size(), 7);
    EXPECT_EQ(model().selection(), QSet<QUuid>{model().pages().last().id});
}

TEST_F(EditingTest, BlankPagesGoAfterTheLastSelectedCard)
{
    addCards(6);
    model().setBlankPageSize(PageSize::letter);
    select({1, 3});
    model().insertBlankPage();
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{100, 110, 120, 130, 612, 140, 150}));
    const PageItem& blank = model().pages()[4];
    EXPECT_EQ(blank.sourceName, "Blank page");
    EXPECT_FALSE(blank.sourcePage.has_value());
    EXPECT_EQ(blank.descriptor, PageDescriptor(PageContent::blank(PageSize::letter), 0));
    const QImage picture = QImage::fromData(blank.thumbnailData, "JPEG");
    EXPECT_LT(picture.width(), picture.height());
    EXPECT_EQ(model().selection(), QSet<QUuid>{blank.id});

    model().setSelection({});
    model().insertBlankPage();
    EXPECT_EQ(model().pages().size(), 8);
    EXPECT_EQ(model().pages().last().sourceName, "Blank page");
}

TEST_F(EditingTest, RemovingSelectsTheFirstRemainingCard)
{
    addCards(5);
    select({1, 2, 4});
    QSignalSpy removed(&model(), &AppModel::pagesRemoved);
    model().removeSelected();
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{100, 130}));
    ASSERT_EQ(removed.count(), 2);
    EXPECT_EQ(removed.at(0), (QVariantList{4, 4}));
    EXPECT_EQ(removed.at(1), (QVariantList{1, 2}));
    EXPECT_EQ(model().selection(), QSet<QUuid>{id(0)});

    model().selectAll();
    model().removeSelected();
    EXPECT_TRUE(model().pages().isEmpty());
    EXPECT_TRUE(model().selection().isEmpty());
    EXPECT_FALSE(model().previewResult() || model().previewError() || model().isRenderingPreview());
}

TEST_F(EditingTest, RemoveAllEmptiesTheWorkspaceAndCanBeUndone)
{
    addCards(3);
    waitForPreview();
    ASSERT_TRUE(model().previewResult().has_value());
    model().refreshPreview(); // a request still waiting
    model().removeAll();
    EXPECT_TRUE(model().pages().isEmpty() && model().selection().isEmpty());
    EXPECT_FALSE(model().previewResult() || model().previewError() || model().isRenderingPreview());
    QTest::qWait(AppModel::previewDelayMs + 150);
    EXPECT_EQ(assembler.calls(), 1) << "the waiting request was cancelled";
    model().undo();
    EXPECT_EQ(model().pages().size(), 3);
}

TEST_F(EditingTest, SelectingByTypedPositions)
{
    addCards(5);
    model().selectRange("2-3");
    EXPECT_EQ(model().selection(), (QSet<QUuid>{id(1), id(2)}));
    model().selectRange("6");
    EXPECT_EQ(model().errorMessage(), QString::fromStdString(LumafoldError::invalidRange("6").errorDescription()));
    EXPECT_EQ(model().selection(), (QSet<QUuid>{id(1), id(2)}));
    model().selectRange(",");
    EXPECT_TRUE(model().selection().isEmpty());
    model().selectAll();
    EXPECT_EQ(model().selection().size(), 5);
    EXPECT_EQ(model().undoStack().size(), 1) << "selecting is no undo step";

    m_model.reset();
    model().selectRange("1");
    EXPECT_EQ(model().errorMessage(), QString::fromStdString(LumafoldError::invalidRange("1").errorDescription()));
}

TEST_F(EditingTest, ARunningExportBlocksEditsButNotMovesOrHistory)
{
    addCards(3);
    select({0});
    model().rotateSelected(true);
    model().setIsExporting(true);
    const PageList before = model().pages();
    model().rotateSelected(true);
    model().duplicateSelected();
    model().removeSelected();
    model().removeAll();
    model().insertBlankPage();
    EXPECT_EQ(model().pages(), before);
    EXPECT_EQ(model().undoStack().size(), 2);
    model().movePage(id(2), id(0));
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{120, 100, 110}));
    model().undo();
    model().undo();
    EXPECT_EQ(model().pages()[0].descriptor.rotation, 0);
    model().redo();
    EXPECT_EQ(model().pages()[0].descriptor.rotation, 90);
}

TEST_F(EditingTest, RevealSourceShowsTheFileOfSourceCardsOnly)
{
    addCards(1);
    model().insertBlankPage();
    model().revealSource(model().pages()[1]);
    EXPECT_TRUE(dialogs.revealed.empty());
    model().revealSource(model().pages()[0]);
    ASSERT_EQ(dialogs.revealed.size(), 1u);
    EXPECT_EQ(dialogs.revealed[0], fileUrls({dir / "cards.pdf"}));
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
    QObject::connect(&m, &AppModel::pagesReset, [&] {
        mirror.clear();
        for (const PageItem& card : m.pages()) {
            mirror.append(card.id);
        }
    });
    addCards(5);
    const std::pair<const char*, std::function<void()>> operations[] = {
        {"duplicate",
         [&] {
             select({0, 2, 4});
             m.duplicateSelected();
         }},
        {"remove",
         [&] {
             select({1, 2, 5, 7});
             m.removeSelected();
         }},
        {"move forward",
         [&] {
             m.movePage(id(0), id(3));
         }},
        {"move back",
         [&] {
             m.movePage(id(3), id(1));
         }},
        {"blank",
         [&] {
             select({1});
             m.insertBlankPage();
         }},
        {"undo",
         [&] {
             m.undo();
             m.undo();
         }},
        {"redo",
         [&] {
             m.redo();
         }},
        {"remove all",
         [&] {
             m.removeAll();
         }},
        {"undo all",
         [&] {
             m.undo();
         }},
    };
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(name);
        operation();
        EXPECT_EQ(mirror, ids());
    }
}

} // namespace
} // namespace lumafold::test
