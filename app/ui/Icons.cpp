// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/Icons.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>

namespace lumafold::Icons {

namespace {

struct Mapping
{
    const char* symbol;
    const char* name;
};

constexpr Mapping mappings[] = {
    {"plus", "list-add"},
    {"doc.badge.plus", "document-new"},
    {"arrow.uturn.backward", "edit-undo"},
    {"arrow.uturn.forward", "edit-redo"},
    {"rectangle.grid.2x2", "view-grid"},
    {"doc.on.doc", "edit-copy"},
    {"doc.richtext", "x-office-document"},
    {"exclamationmark.triangle", "dialog-warning"},
    {"rotate.left", "object-rotate-left"},
    {"rotate.right", "object-rotate-right"},
    {"square.grid.3x3", "view-app-grid"},
    {"folder", "folder"},
    {"square.and.arrow.down", "document-save"},
    {"trash", "edit-delete"},
};

// The shape of the icon; its colours are ignored.
QIcon shapeOf(const QString& symbol)
{
    const QString name = freedesktopName(symbol);
    return QIcon::fromTheme(name + QStringLiteral("-symbolic"),
                            QIcon(QStringLiteral(":/icons/%1.svg").arg(name.isEmpty() ? symbol : name)));
}

QPixmap paintShape(const QIcon& shape, const QColor& color, const QSize& size, qreal dpr)
{
    QPixmap pixmap(size * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    shape.paint(&painter, QRect(QPoint(0, 0), size));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), size), color);
    return pixmap;
}

class TintedIconEngine : public QIconEngine
{
public:
    TintedIconEngine(QIcon shape, QPalette::ColorRole role) : m_shape(std::move(shape)), m_role(role) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, paintShape(m_shape, colorFor(mode), rect.size(), dpr));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        return paintShape(m_shape, colorFor(mode), size, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        return paintShape(m_shape, colorFor(mode), size, scale);
    }
    QIconEngine* clone() const override { return new TintedIconEngine(m_shape, m_role); }
    QString key() const override { return QStringLiteral("lumafold-tinted"); }

private:
    QColor colorFor(QIcon::Mode mode) const
    {
        const QPalette palette = QApplication::palette();
        if (mode == QIcon::Disabled) {
            return palette.color(QPalette::Disabled, m_role);
        }
        return palette.color(mode == QIcon::Selected ? QPalette::HighlightedText : m_role);
    }

    QIcon m_shape;
    QPalette::ColorRole m_role;
};

} // namespace

QString freedesktopName(const QString& symbol)
{
    for (const Mapping& mapping : mappings) {
        if (symbol == QLatin1String(mapping.symbol)) {
            return QString::fromLatin1(mapping.name);
        }
    }
    return {};
}

QIcon symbol(const QString& symbol, QPalette::ColorRole role)
{
    return QIcon(new TintedIconEngine(shapeOf(symbol), role));
}

QPixmap tinted(const QString& symbol, const QColor& color, int size, qreal devicePixelRatio)
{
    return paintShape(shapeOf(symbol), color, QSize(size, size), devicePixelRatio);
}

} // namespace lumafold::Icons
