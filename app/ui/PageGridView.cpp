// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/PageGridView.h"

#include "model/AppModel.h"
#include "ui/Icons.h"
#include "ui/PageCardDelegate.h"
#include "ui/PageListModel.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

namespace lumafold {

PageGridView::PageGridView(AppModel& model, QWidget* parent)
    : QListView(parent), m_model(&model), m_pages(new PageListModel(model, this)),
      m_delegate(new PageCardDelegate(this))
{
    setObjectName(QStringLiteral("pageGridView"));
    setAccessibleName(tr("Pages"));
    setViewMode(ListMode);
    setFlow(LeftToRight);
    setWrapping(true);
    setResizeMode(Adjust);
    setUniformItemSizes(true);
    setMovement(Static);
    setFrameShape(NoFrame);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Clicks and keys are read here; the selection model only mirrors the workspace's selection,
    // which also shows it to assistive technology.
    setSelectionMode(MultiSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDefaultDropAction(Qt::MoveAction);
    setItemDelegate(m_delegate);
    setModel(m_pages);
    viewport()->setBackgroundRole(QPalette::Window);
    verticalScrollBar()->setSingleStep(24);

    connect(&model, &AppModel::selectionChanged, this, &PageGridView::showSelection);
    connect(&model, &AppModel::pagesChanged, this, &PageGridView::showSelection);
    layOutColumns();
}

QUuid PageGridView::idAt(const QModelIndex& index) const
{
    return index.data(PageListModel::PageIdRole).toUuid();
}

void PageGridView::showSelection()
{
    if (!m_model) {
        return;
    }
    const QSet<QUuid>& chosen = m_model->selection();
    QItemSelection selection;
    const PageList& pages = m_model->pages();
    for (int row = 0; row < pages.size(); ++row) {
        if (!chosen.contains(pages.at(row).id)) {
            continue;
        }
        int last = row;
        while (last + 1 < pages.size() && chosen.contains(pages.at(last + 1).id)) {
            ++last;
        }
        selection.select(m_pages->index(row), m_pages->index(last));
        row = last;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void PageGridView::select(const QUuid& id, Qt::KeyboardModifiers modifiers)
{
    QSet<QUuid> selection = m_model->selection();
    if (modifiers & Qt::ControlModifier) {
        if (!selection.remove(id)) {
            selection.insert(id);
        }
    } else {
        selection = {id};
    }
    m_model->setSelection(selection);
}

void PageGridView::ensureSelected(const QUuid& id)
{
    if (!m_model->selection().contains(id)) {
        m_model->setSelection({id});
    }
}

void PageGridView::layOutColumns()
{
    // The width the list lays out in, with room kept for the scroll bar as it keeps it itself;
    // computed from the view's own width so that changing the margins changes nothing.
    const int width = this->width() - 2 * frameWidth() -
                      style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
    const int available = width - 2 * inset;
    const int columns = std::max(1, (available + columnSpacing) / (minimumColumnWidth + columnSpacing));
    const int cardWidth =
        std::clamp((available - (columns - 1) * columnSpacing) / columns, minimumColumnWidth, maximumColumnWidth);
    const int cellWidth = cardWidth + columnSpacing;
    const int leftover = std::max(0, available - columns * cardWidth - (columns - 1) * columnSpacing);
    // A card sits at the top left of its grid cell; the margins centre the columns. One spare
    // pixel on the right: the list wraps a row that would touch its edge exactly.
    const int left = inset + leftover / 2;
    const QMargins wanted(left, inset, std::max(0, width - left - columns * cellWidth - 1), 0);
    if (wanted != viewportMargins()) {
        setViewportMargins(wanted);
    }
    m_delegate->setCardWidth(cardWidth);
    const QSize cell(cellWidth, m_delegate->cardHeight(font()) + rowSpacing);
    if (gridSize() != cell) {
        setGridSize(cell);
    }
}

void PageGridView::resizeEvent(QResizeEvent* event)
{
    layOutColumns();
    QListView::resizeEvent(event);
}

void PageGridView::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    setFocus(Qt::MouseFocusReason);
    m_pressed = QPersistentModelIndex();
    if (!index.isValid() || event->button() != Qt::LeftButton) {
        return;
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    select(idAt(index), event->modifiers());
    m_pressed = index;
    m_pressPosition = event->position().toPoint();
}

void PageGridView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_pressed.isValid()) {
        return;
    }
    if ((event->position().toPoint() - m_pressPosition).manhattanLength() >= QApplication::startDragDistance()) {
        startDrag(Qt::MoveAction);
        m_pressed = QPersistentModelIndex();
    }
}

void PageGridView::mouseReleaseEvent(QMouseEvent*)
{
    m_pressed = QPersistentModelIndex();
}

void PageGridView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A double click is two clicks; it has no action of its own.
    mousePressEvent(event);
}

void PageGridView::startDrag(Qt::DropActions)
{
    if (!m_pressed.isValid()) {
        return;
    }
    auto* mime = new QMimeData;
    mime->setText(idAt(m_pressed).toString(QUuid::WithoutBraces).toUpper());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(m_pressed);
    const QRect card = m_delegate->cardRect(option.rect, option.font);
    QPixmap image(card.size() * devicePixelRatioF());
    image.setDevicePixelRatio(devicePixelRatioF());
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        option.rect = QRect(QPoint(0, 0), option.rect.size()).translated(option.rect.topLeft() - card.topLeft());
        option.state |= QStyle::State_Selected;
        m_delegate->paint(&painter, option, m_pressed);
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(image);
    drag->setHotSpot(m_pressPosition - card.topLeft());
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

void PageGridView::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasText() && !event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void PageGridView::dragMoveEvent(QDragMoveEvent* event)
{
    // The base class scrolls near the edges; whether the drop is taken is decided here.
    QListView::dragMoveEvent(event);
    const QModelIndex target = indexAt(event->position().toPoint());
    if (target.isValid() && event->mimeData()->hasText()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void PageGridView::dropEvent(QDropEvent* event)
{
    const QModelIndex target = indexAt(event->position().toPoint());
    const QString text = event->mimeData()->text();
    const QUuid id = QUuid::fromString(QStringView(text).trimmed());
    if (!target.isValid() || text.isEmpty() || id.isNull()) {
        event->ignore();
        return;
    }
    m_model->movePage(id, idAt(target));
    event->acceptProposedAction();
}

void PageGridView::moveCurrentBy(int step)
{
    const QModelIndex current = currentIndex();
    const PageList& pages = m_model->pages();
    const int row = current.row();
    if (!current.isValid() || row + step < 0 || row + step >= pages.size()) {
        return;
    }
    // One place towards the end is the next card moving before this one: the same order, and
    // possible also for the last place, which has no card to go before.
    if (step > 0) {
        m_model->movePage(pages.at(row + 1).id, pages.at(row).id);
    } else {
        m_model->movePage(pages.at(row).id, pages.at(row - 1).id);
    }
    scrollTo(currentIndex());
}

void PageGridView::keyPressEvent(QKeyEvent* event)
{
    const bool alt = event->modifiers() & Qt::AltModifier;
    if (alt && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        moveCurrentBy(event->key() == Qt::Key_Left ? -1 : 1);
        return;
    }
    if (event->key() == Qt::Key_Space && currentIndex().isValid()) {
        select(idAt(currentIndex()), event->modifiers());
        return;
    }
    if (event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() & Qt::ShiftModifier)) {
        const QRect card = visualRect(currentIndex());
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, card.center(), viewport()->mapToGlobal(card.center()));
        contextMenuEvent(&menu);
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        m_model->selectAll();
        return;
    }
    static const QHash<int, CursorAction> moves = {
        {Qt::Key_Left, MoveLeft},     {Qt::Key_Right, MoveRight},       {Qt::Key_Up, MoveUp},
        {Qt::Key_Down, MoveDown},     {Qt::Key_Home, MoveHome},         {Qt::Key_End, MoveEnd},
        {Qt::Key_PageUp, MovePageUp}, {Qt::Key_PageDown, MovePageDown},
    };
    if (const auto move = moves.find(event->key()); move != moves.end() && !alt) {
        const QModelIndex next = moveCursor(*move, event->modifiers());
        if (next.isValid()) {
            selectionModel()->setCurrentIndex(next, QItemSelectionModel::NoUpdate);
            scrollTo(next);
        }
        return;
    }
    QListView::keyPressEvent(event);
}

void PageGridView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = event->reason() == QContextMenuEvent::Keyboard ? currentIndex() : indexAt(event->pos());
    if (!index.isValid()) {
        return;
    }
    const QUuid id = idAt(index);
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("cardMenu"));
    const auto onSelection = [this, id](auto operation) {
        return [this, id, operation] {
            ensureSelected(id);
            operation(*m_model);
        };
    };
    menu.addAction(Icons::symbol(QStringLiteral("rotate.left")), tr("Rotate Left"),
                   onSelection([](AppModel& model) { model.rotateSelected(false); }));
    menu.addAction(Icons::symbol(QStringLiteral("rotate.right")), tr("Rotate Right"),
                   onSelection([](AppModel& model) { model.rotateSelected(true); }));
    menu.addAction(Icons::symbol(QStringLiteral("doc.on.doc")), tr("Duplicate"),
                   onSelection([](AppModel& model) { model.duplicateSelected(); }));
    menu.addSeparator();
    QAction* reveal =
        menu.addAction(Icons::symbol(QStringLiteral("folder")), tr("Show Source in File Manager"), this, [this, id] {
            if (const QModelIndex card = m_pages->indexOf(id); card.isValid()) {
                m_model->revealSource(m_model->pages().at(card.row()));
            }
        });
    reveal->setEnabled(index.data(PageListModel::HasSourceRole).toBool());
    menu.addAction(Icons::symbol(QStringLiteral("trash")), tr("Remove Page"),
                   onSelection([](AppModel& model) { model.removeSelected(); }));
    menu.exec(event->globalPos());
}

} // namespace lumafold
