// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/EmptyStateView.h"

#include "ui/Style.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumafold {

EmptyStateView::EmptyStateView(const QString& symbol, const QString& title, QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(8);
    column->addStretch();
    auto* icon = new Style::SymbolView(symbol, 48, this);
    icon->setColorRole(QPalette::PlaceholderText);
    column->addWidget(icon, 0, Qt::AlignHCenter);
    column->addSpacing(4);
    auto* titleLabel = new QLabel(title, this);
    titleLabel->setFont(Style::font(Style::Text::title, font()));
    titleLabel->setAlignment(Qt::AlignCenter);
    titleLabel->setWordWrap(true);
    column->addWidget(titleLabel);
    m_description = new QLabel(this);
    m_description->setAlignment(Qt::AlignCenter);
    m_description->setWordWrap(true);
    m_description->setTextFormat(Qt::PlainText);
    Style::makeSecondary(m_description);
    // Without an alignment of its own, so that the layout gives it the height its lines need.
    column->addWidget(m_description);
    column->addStretch();
    setAccessibleName(title);
}

void EmptyStateView::setDescription(const QString& description)
{
    m_description->setText(description);
}

QPushButton* EmptyStateView::addAction(const QString& label)
{
    auto* button = new QPushButton(label, this);
    auto* column = static_cast<QVBoxLayout*>(layout());
    // Above the closing stretch.
    column->insertSpacing(column->count() - 1, 6);
    column->insertWidget(column->count() - 1, button, 0, Qt::AlignHCenter);
    return button;
}

} // namespace lumafold
