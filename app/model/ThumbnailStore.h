// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "core/PageModel.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace lumafold {

// Card pictures (JPEG, longest side 360) and the pictures already made, so that an edit never
// draws a (page, rotation) twice and a turned card gets its old picture turned instead of
// drawing the page again. Main thread only; the work itself runs on every core while the caller
// waits.
class ThumbnailStore
{
public:
    static constexpr std::int64_t maxPixelSize = 360;

    // A picture the caller holds for `page`, usable as the starting point of a turned one.
    struct Base
    {
        PageDescriptor page;
        QByteArray picture;
    };
    struct Request
    {
        PageDescriptor page;
        std::optional<Base> base;
    };

    explicit ThumbnailStore(qsizetype byteBudget = qsizetype{256} * 1024 * 1024);

    // One picture per request, in order; a null array where none can be made.
    QList<QByteArray> picturesFor(const std::vector<Request>& requests);
    // A picture the engine just drew; it replaces what was kept for that page.
    void rememberDrawn(const PageDescriptor& page, const QByteArray& picture);

    // Draws the pages with the engine on every core; each worker opens a file once.
    // Thread-safe; blocks until every picture is there.
    static QList<QByteArray> draw(const std::vector<PageDescriptor>& pages);
    // The JPEG turned clockwise by a multiple of 90 degrees and encoded again; null on failure.
    static QByteArray turned(const QByteArray& jpeg, std::int64_t clockwiseDegrees);

private:
    struct Entry
    {
        std::int64_t rotation = 0;
        QByteArray picture;
        bool drawn = false; // straight from the engine, not turned from another picture
        std::uint64_t lastUse = 0;
    };

    Entry* find(const PageDescriptor& page);
    void store(const PageDescriptor& page, const QByteArray& picture, bool drawn);
    void trim();

    std::unordered_map<PageContent, std::vector<Entry>> m_entries;
    qsizetype m_bytes = 0;
    qsizetype m_budget;
    std::uint64_t m_clock = 0;
};

} // namespace lumafold
