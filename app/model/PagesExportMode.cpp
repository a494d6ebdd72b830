// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/PagesExportMode.h"

#include <QCoreApplication>

namespace lumafold {

// The raw values are the labels the window shows, translated there.
QString rawValue(PagesExportMode mode)
{
    switch (mode) {
    case PagesExportMode::combined:
        return QStringLiteral(QT_TRANSLATE_NOOP("lumafold::PagesExportMode", "One PDF"));
    case PagesExportMode::selected:
        return QStringLiteral(QT_TRANSLATE_NOOP("lumafold::PagesExportMode", "Selected pages"));
    case PagesExportMode::split:
        return QStringLiteral(QT_TRANSLATE_NOOP("lumafold::PagesExportMode", "Split into PDFs"));
    }
    return {};
}

std::optional<PagesExportMode> pagesExportModeFromRawValue(const QString& raw)
{
    for (const PagesExportMode mode : allPagesExportModes()) {
        if (rawValue(mode) == raw) {
            return mode;
        }
    }
    return std::nullopt;
}

QList<PagesExportMode> allPagesExportModes()
{
    return {PagesExportMode::combined, PagesExportMode::selected, PagesExportMode::split};
}

} // namespace lumafold
