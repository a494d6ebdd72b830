// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/PagesExportMode.h"

namespace lumafold {

QString rawValue(PagesExportMode mode)
{
    switch (mode) {
    case PagesExportMode::combined:
        return QStringLiteral("One PDF");
    case PagesExportMode::selected:
        return QStringLiteral("Selected pages");
    case PagesExportMode::split:
        return QStringLiteral("Split into PDFs");
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
