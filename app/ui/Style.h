// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QVBoxLayout;

// How the window dresses its text and buttons, in terms of the desktop's font and palette.
namespace lumafold::Style {

enum class Text
{
    body,
    headline,
    subheadline,
    caption,
    caption2,
    title,
};

QFont font(Text text, const QFont& base);
void setTextStyle(QWidget* widget, Text text);

// Text that matters less: the window text at 60 %.
QColor secondary(const QPalette& palette);
void makeSecondary(QLabel* label);

// The main action of a pane: filled with the highlight colour.
void makeProminent(QPushButton* button);
// A frameless button in the link colour.
void makeLink(QPushButton* button);

// A symbol drawn at paint time, so that it follows the palette.
class SymbolView : public QWidget
{
public:
    SymbolView(const QString& symbol, int size, QWidget* parent);
    void setColorRole(QPalette::ColorRole role);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    QPalette::ColorRole m_role = QPalette::WindowText;
};

inline constexpr int titleBarHeight = 56;

// A row of an icon and a headline, the title of a pane.
QWidget* paneTitle(const QString& text, const QString& symbol, QWidget* parent);

// The column of a pane: its title row (the title on the left, `trailing` on the right), a line
// below it, and then whatever the pane adds.
QVBoxLayout* paneColumn(QWidget* pane, const QString& title, const QString& symbol, QWidget* trailing);

// A hairline between regions.
QWidget* divider(Qt::Orientation orientation, QWidget* parent);

} // namespace lumafold::Style
