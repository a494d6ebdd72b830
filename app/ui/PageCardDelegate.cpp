// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/PageCardDelegate.h"

#include "ui/PageListModel.h"
#include "ui/Style.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

namespace lumafold {

namespace {

constexpr int spacing = 7;
constexpr qreal cornerRadius = 10;
constexpr qreal boxRadius = 5;
// How far the shadow reaches beyond the box.
constexpr int shadowReach = 6;

QFont titleFont(const QFont& base)
{
    QFont font = Style::font(Style::Text::subheadline, base);
    font.setWeight(QFont::DemiBold);
    return font;
}

// Up to two lines of `text`, the second cut with an ellipsis when more would follow.
QStringList twoLines(const QString& text, const QFont& font, int width)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    while (lines.size() < 2) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        const QString rest =
            lines.size() == 1 ? text.mid(line.textStart()) : text.mid(line.textStart(), line.textLength());
        lines << rest;
    }
    layout.endLayout();
    if (lines.size() == 2) {
        lines[1] = QFontMetrics(font).elidedText(lines[1], Qt::ElideRight, width);
    }
    return lines;
}

} // namespace

PageCardDelegate::PageCardDelegate(QObject* parent) : QStyledItemDelegate(parent)
{
    m_pictures.setMaxCost(48 * 1024 * 1024);
}

void PageCardDelegate::setCardWidth(int width)
{
    m_cardWidth = width;
}

int PageCardDelegate::cardHeight(const QFont& font) const
{
    const QFontMetrics title(titleFont(font));
    const QFontMetrics caption(Style::font(Style::Text::caption, font));
    return inset + thumbnailHeight + spacing + title.height() + spacing + 2 * caption.lineSpacing() + inset;
}

QSize PageCardDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return {m_cardWidth, cardHeight(option.font)};
}

QRect PageCardDelegate::cardRect(const QRect& cell, const QFont& font) const
{
    const int width = std::min(m_cardWidth, cell.width());
    return {cell.x() + (cell.width() - width) / 2, cell.y(), width, cardHeight(font)};
}

void PageCardDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect card = cardRect(option.rect, option.font);
    const bool selected = option.state & QStyle::State_Selected;
    const QColor accent = option.palette.color(QPalette::Highlight);

    QPainterPath outline;
    outline.addRoundedRect(QRectF(card).adjusted(1, 1, -1, -1), cornerRadius, cornerRadius);
    QColor fill = accent;
    fill.setAlphaF(0.16);
    painter->fillPath(outline, selected ? fill : option.palette.color(QPalette::Base));
    if (selected) {
        painter->strokePath(outline, QPen(accent, 2));
    } else if (option.state & QStyle::State_HasFocus) {
        QColor focus = accent;
        focus.setAlphaF(0.55);
        painter->strokePath(outline, QPen(focus, 2, Qt::DotLine));
    }

    const QRect box(card.x() + inset, card.y() + inset, card.width() - 2 * inset, thumbnailHeight);
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    paintThumbnail(painter, box, index, dpr);
    const int rotation = index.data(PageListModel::RotationRole).toInt();
    if (rotation != 0) {
        paintBadge(painter, box, rotation, option);
    }
    paintTexts(painter, QRect(box.x(), box.bottom() + 1 + spacing, box.width(), card.bottom() - box.bottom()), index,
               option);
    painter->restore();
}

void PageCardDelegate::paintThumbnail(QPainter* painter, const QRect& box, const QModelIndex& index, qreal dpr) const
{
    painter->drawPixmap(box.topLeft() - QPoint(shadowReach, shadowReach), boxWithShadow(box.size(), dpr));
    const QPixmap picture = fittedPicture(index.data(PageListModel::ThumbnailRole).toByteArray(), box.size(), dpr);
    if (picture.isNull()) {
        return;
    }
    const QSizeF size = picture.deviceIndependentSize();
    const QPointF topLeft(box.x() + (box.width() - size.width()) / 2, box.y() + (box.height() - size.height()) / 2);
    if (size.width() < box.width() - 1 && size.height() < box.height() - 1) {
        painter->drawPixmap(topLeft, picture);
        return;
    }
    // A picture reaching the box's edges is cut to its rounded corners.
    QPainterPath clip;
    clip.addRoundedRect(QRectF(box), boxRadius, boxRadius);
    painter->save();
    painter->setClipPath(clip);
    painter->drawPixmap(topLeft, picture);
    painter->restore();
}

QPixmap PageCardDelegate::boxWithShadow(const QSize& box, qreal dpr) const
{
    // Every card has the same box: drawn once, then copied, which keeps scrolling cheap.
    if (m_boxCache.isNull() || m_boxCache.devicePixelRatio() != dpr ||
        m_boxCache.deviceIndependentSize().toSize() != box + QSize(2 * shadowReach, 2 * shadowReach)) {
        const QSize size = box + QSize(2 * shadowReach, 2 * shadowReach);
        QPixmap pixmap(size * dpr);
        pixmap.setDevicePixelRatio(dpr);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area(shadowReach, shadowReach, box.width(), box.height());
        // A soft shadow: widening outlines below the box, darkest where they overlap near its edge.
        for (int ring = 3; ring >= 1; --ring) {
            QPainterPath shadow;
            shadow.addRoundedRect(area.translated(0, 2).adjusted(-ring, -ring + 1, ring, ring), boxRadius + ring,
                                  boxRadius + ring);
            painter.fillPath(shadow, QColor(0, 0, 0, 14));
        }
        QPainterPath white;
        white.addRoundedRect(area, boxRadius, boxRadius);
        painter.fillPath(white, Qt::white);
        m_boxCache = pixmap;
    }
    return m_boxCache;
}

QPixmap PageCardDelegate::fittedPicture(const QByteArray& jpeg, const QSize& box, qreal dpr) const
{
    if (jpeg.isEmpty()) {
        return {};
    }
    const QString key = QStringLiteral("%1:%2:%3x%4@%5")
                            .arg(quintptr(jpeg.constData()))
                            .arg(jpeg.size())
                            .arg(box.width())
                            .arg(box.height())
                            .arg(dpr);
    if (const QPixmap* cached = m_pictures.object(key)) {
        return *cached;
    }
    QBuffer buffer;
    buffer.setData(jpeg);
    QImageReader reader(&buffer, "jpeg");
    const QSize target = reader.size().scaled(box * dpr, Qt::KeepAspectRatio);
    QImage image;
    if (target.isValid()) {
        reader.setScaledSize(target);
        image = reader.read();
    }
    if (image.isNull()) {
        return {};
    }
    auto* pixmap = new QPixmap(QPixmap::fromImage(std::move(image)));
    pixmap->setDevicePixelRatio(dpr);
    const QPixmap result = *pixmap;
    m_pictures.insert(key, pixmap, static_cast<int>(pixmap->width() * pixmap->height() * 4));
    return result;
}

void PageCardDelegate::paintBadge(QPainter* painter, const QRect& box, int rotation,
                                  const QStyleOptionViewItem& option) const
{
    QFont font = Style::font(Style::Text::caption2, option.font);
    font.setBold(true);
    const QString text = QStringLiteral("%1°").arg(rotation);
    const QFontMetrics metrics(font);
    const QSize size(metrics.horizontalAdvance(text) + 2 * 5 + 4, metrics.height() + 2 * 3);
    const QRectF badge(box.right() + 1 - 5 - size.width(), box.y() + 5, size.width(), size.height());
    QColor material = option.palette.color(QPalette::Window);
    material.setAlphaF(0.82);
    QColor hairline = option.palette.color(QPalette::WindowText);
    hairline.setAlphaF(0.18);
    painter->setPen(QPen(hairline, 0.75));
    painter->setBrush(material);
    painter->drawRoundedRect(badge, badge.height() / 2, badge.height() / 2);
    painter->setFont(font);
    painter->setPen(option.palette.color(QPalette::WindowText));
    painter->drawText(badge, Qt::AlignCenter, text);
}

void PageCardDelegate::paintTexts(QPainter* painter, const QRect& area, const QModelIndex& index,
                                  const QStyleOptionViewItem& option) const
{
    const QFont title = titleFont(option.font);
    const QFontMetrics titleMetrics(title);
    painter->setFont(title);
    painter->setPen(option.palette.color(QPalette::Text));
    const QString heading = titleMetrics.elidedText(tr("Page %1").arg(index.data(PageListModel::PositionRole).toInt()),
                                                    Qt::ElideRight, area.width());
    painter->drawText(QRect(area.x(), area.y(), area.width(), titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      heading);

    const QFont caption = Style::font(Style::Text::caption, option.font);
    const QFontMetrics captionMetrics(caption);
    painter->setFont(caption);
    QColor secondary = option.palette.color(QPalette::Text);
    secondary.setAlphaF(0.6);
    painter->setPen(secondary);
    int y = area.y() + titleMetrics.height() + spacing;
    for (const QString& line : twoLines(index.data(PageListModel::SourceLineRole).toString(), caption, area.width())) {
        painter->drawText(QRect(area.x(), y, area.width(), captionMetrics.lineSpacing()),
                          Qt::AlignLeft | Qt::AlignVCenter, line);
        y += captionMetrics.lineSpacing();
    }
}

} // namespace lumafold
