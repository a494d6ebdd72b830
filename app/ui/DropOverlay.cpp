// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/DropOverlay.h"

#include "ui/Icons.h"
#include "ui/Style.h"

#include <QPainter>
#include <QPainterPath>

namespace lumafold {

namespace {

const QColor systemBlue(0x35, 0x84, 0xe4);

} // namespace

DropOverlay::DropOverlay(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("dropOverlay"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
}

void DropOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(10, 10, -10, -10);
    QColor fill = systemBlue;
    fill.setAlphaF(0.12);
    QPainterPath outline;
    outline.addRoundedRect(frame, 18, 18);
    painter.fillPath(outline, fill);
    QPen pen(systemBlue, 3);
    // Dashes are counted in pen widths: 10 long, 10 apart.
    pen.setDashPattern({10.0 / 3, 10.0 / 3});
    painter.strokePath(outline, pen);

    const QFont title = Style::font(Style::Text::title, font());
    const QFontMetrics metrics(title);
    const QString text = tr("Add PDFs");
    const int iconSize = metrics.height();
    const int width = iconSize + 8 + metrics.horizontalAdvance(text);
    const QPoint origin(rect().center().x() - width / 2, rect().center().y() - iconSize / 2);
    painter.drawPixmap(origin, Icons::tinted(QStringLiteral("doc.on.doc"), systemBlue, iconSize, devicePixelRatioF()));
    painter.setFont(title);
    painter.setPen(systemBlue);
    painter.drawText(QRect(origin.x() + iconSize + 8, origin.y(), width, iconSize), Qt::AlignLeft | Qt::AlignVCenter,
                     text);
}

} // namespace lumafold
