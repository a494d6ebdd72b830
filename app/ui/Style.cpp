// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/Style.h"

#include "ui/Icons.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumafold::Style {

QFont font(Text text, const QFont& base)
{
    QFont font = base;
    const qreal size = base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
    switch (text) {
    case Text::body:
        break;
    case Text::headline:
        font.setWeight(QFont::DemiBold);
        break;
    case Text::subheadline:
        font.setPointSizeF(size * 0.92);
        break;
    case Text::caption:
        font.setPointSizeF(size * 0.85);
        break;
    case Text::caption2:
        font.setPointSizeF(size * 0.77);
        break;
    case Text::title:
        font.setPointSizeF(size * 1.45);
        font.setWeight(QFont::Bold);
        break;
    }
    return font;
}

void setTextStyle(QWidget* widget, Text text)
{
    widget->setFont(font(text, widget->font()));
}

QColor secondary(const QPalette& palette)
{
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.6);
    return color;
}

namespace {

enum class Dress
{
    secondary,
    prominent,
    link,
};

void dress(QWidget* widget, Dress kind)
{
    // From the application's palette, not the widget's, which holds the colours set last time.
    QPalette palette = QApplication::palette(widget);
    switch (kind) {
    case Dress::secondary:
        palette.setColor(QPalette::WindowText, secondary(palette));
        break;
    case Dress::prominent:
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Button, palette.color(group, QPalette::Highlight));
            palette.setColor(group, QPalette::ButtonText, palette.color(group, QPalette::HighlightedText));
        }
        break;
    case Dress::link:
        // Disabled links keep the palette's disabled text, so that they look unavailable.
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::ButtonText, palette.color(group, QPalette::Link));
        }
        break;
    }
    widget->setPalette(palette);
}

// Widgets with colours of their own no longer follow the application's palette; this dresses
// them again when it changes, say when the desktop turns dark.
class PaletteFollower : public QObject
{
public:
    static void follow(QWidget* widget, Dress kind)
    {
        static auto* follower = new PaletteFollower(qApp);
        follower->m_dressed.append({widget, kind});
        dress(widget, kind);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
            m_dressed.removeIf([](const auto& entry) { return entry.first.isNull(); });
            for (const auto& [widget, kind] : std::as_const(m_dressed)) {
                dress(widget, kind);
            }
        }
        return false;
    }

private:
    explicit PaletteFollower(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }

    QList<std::pair<QPointer<QWidget>, Dress>> m_dressed;
};

} // namespace

void makeSecondary(QLabel* label)
{
    PaletteFollower::follow(label, Dress::secondary);
}

void makeProminent(QPushButton* button)
{
    button->setAutoDefault(false);
    PaletteFollower::follow(button, Dress::prominent);
}

void makeLink(QPushButton* button)
{
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    PaletteFollower::follow(button, Dress::link);
}

SymbolView::SymbolView(const QString& symbol, int size, QWidget* parent) : QWidget(parent), m_symbol(symbol)
{
    setFixedSize(size, size);
}

void SymbolView::setColorRole(QPalette::ColorRole role)
{
    m_role = role;
    update();
}

void SymbolView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, Icons::tinted(m_symbol, palette().color(m_role), width(), devicePixelRatioF()));
}

QWidget* paneTitle(const QString& text, const QString& symbol, QWidget* parent)
{
    auto* title = new QWidget(parent);
    auto* row = new QHBoxLayout(title);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto* icon = new SymbolView(symbol, title->fontMetrics().height(), title);
    auto* label = new QLabel(text, title);
    setTextStyle(label, Text::headline);
    row->addWidget(icon);
    row->addWidget(label);
    return title;
}

QVBoxLayout* paneColumn(QWidget* pane, const QString& title, const QString& symbol, QWidget* trailing)
{
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* titleBar = new QWidget(pane);
    // One height for every pane's title, so that the lines below them meet.
    titleBar->setFixedHeight(titleBarHeight);
    auto* titleRow = new QHBoxLayout(titleBar);
    titleRow->setContentsMargins(18, 0, 18, 0);
    titleRow->addWidget(paneTitle(title, symbol, titleBar));
    titleRow->addStretch();
    titleRow->addWidget(trailing);
    column->addWidget(titleBar);
    column->addWidget(divider(Qt::Horizontal, pane));
    return column;
}

QWidget* divider(Qt::Orientation orientation, QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(orientation == Qt::Horizontal ? QFrame::HLine : QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace lumafold::Style
