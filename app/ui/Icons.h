// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QString>

namespace lumafold::Icons {

// The freedesktop icon name standing for a symbol of the window ("plus", "rotate.left", ...);
// empty for a symbol we do not know.
QString freedesktopName(const QString& symbol);

// The symbol as a monochrome icon drawn in `role` of the application's palette at the time it is
// painted, so it follows light and dark palettes. Taken from the desktop's icon theme where it has
// a symbolic variant, else from the icons built into the program.
QIcon symbol(const QString& symbol, QPalette::ColorRole role = QPalette::ButtonText);

// The symbol drawn in one fixed colour, `size` device-independent pixels square.
QPixmap tinted(const QString& symbol, const QColor& color, int size, qreal devicePixelRatio);

} // namespace lumafold::Icons
