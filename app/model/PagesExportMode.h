// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace lumafold {

// How the workspace is exported. The raw value is also the label of the mode picker.
enum class PagesExportMode
{
    combined,
    selected,
    split,
};

QString rawValue(PagesExportMode mode);
// Only the three exact labels (case-sensitive) name a mode.
std::optional<PagesExportMode> pagesExportModeFromRawValue(const QString& raw);
// In picker order.
QList<PagesExportMode> allPagesExportModes();

} // namespace lumafold
