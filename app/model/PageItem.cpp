// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/PageItem.h"

namespace lumafold {

bool PageItem::operator==(const PageItem& other) const
{
    // QByteArray equates a null array with an empty one; a missing picture must only equal a
    // missing picture.
    return id == other.id && descriptor == other.descriptor && thumbnailData.isNull() == other.thumbnailData.isNull() &&
           thumbnailData == other.thumbnailData && sourceName == other.sourceName && sourcePage == other.sourcePage;
}

size_t qHash(const PageItem& item, size_t seed) noexcept
{
    QtPrivate::QHashCombine combine;
    seed = combine(seed, item.id);
    seed = combine(seed, std::hash<PageDescriptor>{}(item.descriptor));
    seed = combine(seed, item.thumbnailData.isNull() ? size_t{0} : qHash(item.thumbnailData) + 1);
    seed = combine(seed, item.sourceName);
    return combine(seed, item.sourcePage.has_value() ? static_cast<size_t>(*item.sourcePage) + 1 : size_t{0});
}

} // namespace lumafold
