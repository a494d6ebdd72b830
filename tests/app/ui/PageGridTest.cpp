// SPDX-License-Identifier: AGPL-3.0-or-later
#include "WindowTestSupport.h"

#include "ui/PageListModel.h"

#include <QAbstractItemModelTester>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>

namespace lumafold::test {

namespace {

class PageGridTest : public WindowTest
{
protected:
    void SetUp() override { addPages("report.pdf", 6); }

    // Opens the card's context menu as a right click does and chooses `item` in it.
    void chooseFromMenu(int row, const QString& item)
    {
        QTimer::singleShot(0, [this, item] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction* action : menu->actions()) {
                if (action->text() == item) {
                    chosenWasEnabled = action->isEnabled();
                    action->trigger();
                }
            }
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, cardCentre(row),
                                grid()->viewport()->mapToGlobal(cardCentre(row)));
        QApplication::sendEvent(grid()->viewport(), &event);
    }

    // Drags `mime` over the window to a point of the grid and drops it, as the platform does.
    bool drop(QMimeData* mime, QPoint gridPoint)
    {
        QWindow* handle = window.windowHandle();
        const QPoint at = grid()->viewport()->mapTo(&window, gridPoint);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(handle, &enter);
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(handle, &move);
        overlayShownWhileDragging = find("dropOverlay")->isVisible();
        QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(handle, &dropped);
        return dropped.isAccepted();
    }

    bool chosenWasEnabled = false;
    bool overlayShownWhileDragging = false;
};

// Screen readers hear a card's page and file.
TEST_F(PageGridTest, CardsShowTheSelectionAndNameTheirPageAndClicksSelectOneCardAndCtrlClicksToggle)
{
    model.selectRange("1-3");
    const QModelIndex third = grid()->model()->index(2, 0);
    EXPECT_TRUE(grid()->selectionModel()->isSelected(third));
    EXPECT_EQ(third.data(Qt::AccessibleTextRole), "Page 3, report.pdf");
    clickCard(4);
    EXPECT_EQ(selectedRows(), QList<int>{4});
    model.selectRange("1-3");
    clickCard(1, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(), (QList<int>{0, 2}));
    clickCard(5, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(), (QList<int>{0, 2, 5}));
    clickCard(3, Qt::ShiftModifier);
    EXPECT_EQ(selectedRows(), QList<int>{3});
    // Below the last row lies empty space.
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, QPoint(2, grid()->viewport()->height() - 2));
    EXPECT_EQ(selectedRows(), QList<int>{3});
}

// Showing a source leaves the selection as it is.
TEST_F(PageGridTest, TheContextMenuActsOnTheSelectionOnlyWhenItsCardIsPartOfItAndShowSourceIsOffForBlankPages)
{
    model.selectRange("1-3");
    chooseFromMenu(4, "Rotate Right");
    EXPECT_EQ(rotations(), (QList<qint64>{0, 0, 0, 0, 90, 0}));
    EXPECT_EQ(selectedRows(), QList<int>{4});
    model.selectRange("1-3");
    chooseFromMenu(1, "Rotate Left");
    EXPECT_EQ(rotations(), (QList<qint64>{270, 270, 270, 0, 90, 0}));
    EXPECT_EQ(selectedRows(), (QList<int>{0, 1, 2}));
    model.selectRange("2");
    chooseFromMenu(4, "Show Source in File Manager");
    EXPECT_TRUE(chosenWasEnabled);
    EXPECT_EQ(selectedRows(), QList<int>{1});
    EXPECT_EQ(dialogs.revealed.size(), 1u);
    model.insertBlankPage(); // after the selected card
    chooseFromMenu(2, "Show Source in File Manager");
    EXPECT_FALSE(chosenWasEnabled);
}

// Text that is no card is refused, and only files show the overlay. Added together, an unreadable
// file would go unnoticed beside the good ones.
TEST_F(PageGridTest, ACardDroppedOnACardMovesItThereOtherTextIsRefusedAndEachFileIsAddedOnItsOwn)
{
    const PageList before = model.pages();
    QMimeData clipping;
    clipping.setText("hello");
    EXPECT_FALSE(drop(&clipping, cardCentre(1)));
    EXPECT_FALSE(overlayShownWhileDragging);
    EXPECT_EQ(model.pages(), before);
    QMimeData card;
    card.setText(before.at(4).id.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_TRUE(drop(&card, cardCentre(1)));
    EXPECT_EQ(model.pages().at(1).id, before.at(4).id);
    EXPECT_FALSE(overlayShownWhileDragging);

    const auto good = writeSimplePdf(dir / "good.pdf", 2);
    writeFile(dir / "broken.pdf", std::string("not a PDF"));
    QMimeData files;
    files.setUrls({FileLocations::toUrl(good), FileLocations::toUrl(dir / "broken.pdf"), FileLocations::toUrl(good)});
    EXPECT_TRUE(drop(&files, cardCentre(0)));
    EXPECT_TRUE(overlayShownWhileDragging);
    EXPECT_FALSE(find("dropOverlay")->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([this] { return model.pages().size() == 10 && !model.isLoading(); }));
    EXPECT_TRUE(model.errorMessage().has_value());
}

TEST_F(PageGridTest, KeysMoveTheCurrentCardSelectAndReorder)
{
    clickCard(0);
    QTest::keyClick(grid(), Qt::Key_Right);
    QTest::keyClick(grid(), Qt::Key_Right);
    EXPECT_EQ(selectedRows(), QList<int>{0});
    QTest::keyClick(grid(), Qt::Key_Space);
    EXPECT_EQ(selectedRows(), QList<int>{2});
    QTest::keyClick(grid(), Qt::Key_Left);
    QTest::keyClick(grid(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(), (QList<int>{1, 2}));

    const QUuid current = model.pages().at(1).id;
    QTest::keyClick(grid(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(model.pages().at(0).id, current);
    EXPECT_EQ(grid()->currentIndex().row(), 0);
    QTest::keyClick(grid(), Qt::Key_End);
    const QUuid last = model.pages().at(5).id;
    QTest::keyClick(grid(), Qt::Key_Left, Qt::AltModifier);
    QTest::keyClick(grid(), Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(model.pages().at(5).id, last);
}

TEST_F(PageGridTest, EditsKeepTheScrollPositionAndTheCurrentCard)
{
    addPages("long.pdf", 60);
    QAbstractItemModelTester tester(grid()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    grid()->setCurrentIndex(grid()->model()->index(50, 0));
    grid()->verticalScrollBar()->setValue(grid()->verticalScrollBar()->maximum() / 2);
    const int scrolled = grid()->verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    model.selectRange("60");
    model.rotateSelected(true);
    model.duplicateSelected();
    model.movePage(model.pages().at(2).id, model.pages().at(0).id);
    model.undo();
    EXPECT_EQ(grid()->verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(grid()->currentIndex().data(PageListModel::PositionRole).toInt(), 51);
}

} // namespace

} // namespace lumafold::test
