// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QListView>
#include <QPointer>

namespace lumafold {

class AppModel;
class PageCardDelegate;
class PageListModel;

// The organiser's grid of page cards. Turns clicks, keys, card drags and the context menu into
// model operations; the selection shown is always the model's.
class PageGridView : public QListView
{
    Q_OBJECT

public:
    static constexpr int minimumColumnWidth = 118;
    static constexpr int maximumColumnWidth = 150;
    static constexpr int columnSpacing = 16;
    static constexpr int rowSpacing = 18;
    static constexpr int inset = 20;

    PageGridView(AppModel& model, QWidget* parent = nullptr);

    PageListModel* pageModel() const { return m_pages; }
    QMenu* contextMenuFor(const QModelIndex& index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    void select(const QUuid& id, Qt::KeyboardModifiers modifiers);
    void ensureSelected(const QUuid& id);
    void showSelection();
    void layOutColumns();
    void moveCurrentBy(int step);
    QUuid idAt(const QModelIndex& index) const;

    QPointer<AppModel> m_model;
    PageListModel* m_pages;
    PageCardDelegate* m_delegate;
    QPersistentModelIndex m_pressed;
    QPoint m_pressPosition;
};

} // namespace lumafold
