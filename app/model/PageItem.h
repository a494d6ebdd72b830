// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/PageModel.h"

#include <QByteArray>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace lumafold {

// One page card of the workspace. A plain value; copies share the thumbnail bytes until one of
// them is changed.
struct PageItem
{
    QUuid id;
    PageDescriptor descriptor{PageContent::blank(PageSize::a4), 0};
    // JPEG bytes, rotation applied; a null array when the engine drew nothing.
    QByteArray thumbnailData;
    QString sourceName;
    std::optional<qint64> sourcePage; // 1-based; absent for blank pages

    static inline const QString blankPageName = QStringLiteral("Blank page");

    // Every field takes part, so an undo snapshot or a page list compares as changed when any
    // card differs in anything, its picture included.
    bool operator==(const PageItem& other) const;
};

using PageList = QList<PageItem>;

size_t qHash(const PageItem& item, size_t seed = 0) noexcept;

} // namespace lumafold
