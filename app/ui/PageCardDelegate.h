// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QCache>
#include <QPixmap>
#include <QStyledItemDelegate>

namespace lumafold {

// Draws a page card: the page's picture in a white box with a shadow, its turn as a badge,
// "Page N" and where it comes from, and the selection. Reads the row's roles and nothing else.
class PageCardDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int thumbnailHeight = 142;
    static constexpr int inset = 9;

    explicit PageCardDelegate(QObject* parent = nullptr);

    // Cards are as wide as a grid column; the view sets it when its width changes.
    void setCardWidth(int width);
    int cardWidth() const { return m_cardWidth; }
    int cardHeight(const QFont& font) const;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The card's rectangle inside a cell of the grid.
    QRect cardRect(const QRect& cell, const QFont& font) const;

private:
    void paintThumbnail(QPainter* painter, const QRect& box, const QModelIndex& index, qreal dpr) const;
    void paintBadge(QPainter* painter, const QRect& box, int rotation, const QStyleOptionViewItem& option) const;
    void paintTexts(QPainter* painter, const QRect& area, const QModelIndex& index,
                    const QStyleOptionViewItem& option) const;
    QPixmap fittedPicture(const QByteArray& jpeg, const QSize& box, qreal dpr) const;
    QPixmap boxWithShadow(const QSize& box, qreal dpr) const;

    int m_cardWidth = 134;
    // Pictures decoded and scaled for the box; far smaller than the decoded JPEGs.
    mutable QCache<QString, QPixmap> m_pictures;
    mutable QPixmap m_boxCache;
};

} // namespace lumafold
