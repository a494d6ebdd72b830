// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/PageModel.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace lumafold {

// Card pictures (JPEG, longest side 360) and the pictures already made, so that an edit never
// draws a (page, rotation) twice and a turned card gets its old picture turned instead of
// drawing the page again. Main thread only, apart from the static functions; the work of making
// pictures (make) is meant for a background job.
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

    // What is left to do for a set of requests: pictures to turn and pages to draw.
    struct Work
    {
        struct Turn
        {
            PageDescriptor page;
            QByteArray base;
            std::int64_t degrees = 0;
        };
        QList<Turn> turns;
        std::vector<PageDescriptor> draws;
        bool isEmpty() const { return turns.isEmpty() && draws.empty(); }
    };
    struct Made
    {
        PageDescriptor page;
        QByteArray picture; // null when it could not be made
        bool drawn = false;
    };

    explicit ThumbnailStore(qsizetype byteBudget = qsizetype{256} * 1024 * 1024);

    // The pictures already known for the requests, in order (null where one still has to be made),
    // and the work that makes the others. Never draws or turns anything itself.
    std::pair<QList<QByteArray>, Work> plan(const std::vector<Request>& requests);
    // Does the work: turns on a pool of its own, draws on every core. Thread-safe; blocks.
    static std::vector<Made> make(const Work& work);
    // Keeps what make returned.
    void remember(const std::vector<Made>& made);
    // The kept picture of `page`, or null.
    QByteArray known(const PageDescriptor& page);

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
    std::optional<Base> baseFor(const PageDescriptor& key, const std::optional<Base>& offered) const;
    void store(const PageDescriptor& page, const QByteArray& picture, bool drawn);
    void trim();

    std::unordered_map<PageContent, std::vector<Entry>> m_entries;
    qsizetype m_bytes = 0;
    qsizetype m_budget;
    // Pages whose pictures some planned work is making: they are not planned again meanwhile.
    std::unordered_set<PageDescriptor> m_pending;
    std::uint64_t m_clock = 0;
};

} // namespace lumafold
