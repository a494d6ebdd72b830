// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/ThumbnailStore.h"

#include "lumafold/LumafoldEngine.h"

#include <QBuffer>
#include <QImage>
#include <QThread>
#include <QThreadPool>
#include <QTransform>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <tuple>
#include <unordered_set>

namespace lumafold {

namespace {

// A blank page's picture does not turn with the page, so every rotation of it shares one entry.
PageDescriptor keyOf(const PageDescriptor& page)
{
    return page.content.isBlank() ? PageDescriptor(page.content, 0) : page;
}

QByteArray toByteArray(const std::optional<Bytes>& bytes)
{
    if (!bytes || bytes->empty()) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(bytes->data()), static_cast<qsizetype>(bytes->size()));
}

// Pictures are turned in a pool of their own. The loader waits for them from a thread of the
// global pool; were they queued there too, two loads at once could each hold a thread while their
// pictures wait for one.
QThreadPool& picturePool()
{
    static QThreadPool pool;
    return pool;
}

} // namespace

ThumbnailStore::ThumbnailStore(qsizetype byteBudget) : m_budget(byteBudget) {}

QList<QByteArray> ThumbnailStore::draw(const std::vector<PageDescriptor>& pages)
{
    QList<QByteArray> pictures(static_cast<qsizetype>(pages.size()));
    try {
        // On every core; the engine deals out the pages and opens each file once per worker.
        auto drawn = LumafoldEngine::thumbnailsData(pages, ThumbnailStore::maxPixelSize,
                                                    static_cast<unsigned>(std::max(1, QThread::idealThreadCount())));
        for (std::size_t i = 0; i < drawn.size(); ++i) {
            pictures[static_cast<qsizetype>(i)] = toByteArray(drawn[i]);
            // Each picture is held once: thousands of them add up.
            drawn[i].reset();
        }
    } catch (...) {
        // A card without a picture is a valid card; nothing may leave a background job.
    }
    return pictures;
}

QByteArray ThumbnailStore::turned(const QByteArray& jpeg, std::int64_t clockwiseDegrees)
{
    QImage image;
    if (!image.loadFromData(jpeg, "JPEG")) {
        return {};
    }
    // Quarter turns take Qt's exact pixel-copying path, so nothing is resampled.
    const QImage turnedImage = image.transformed(QTransform().rotate(static_cast<qreal>(clockwiseDegrees)));
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!turnedImage.save(&buffer, "JPEG", LumafoldEngine::thumbnailQuality)) {
        return {};
    }
    return encoded;
}

std::pair<QList<QByteArray>, ThumbnailStore::Work> ThumbnailStore::plan(const std::vector<Request>& requests)
{
    QList<QByteArray> pictures(static_cast<qsizetype>(requests.size()));
    Work work;
    std::unordered_set<PageDescriptor> planned;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const PageDescriptor key = keyOf(requests[i].page);
        if (const Entry* kept = find(key)) {
            pictures[static_cast<qsizetype>(i)] = kept->picture;
            continue;
        }
        if (!planned.insert(key).second || m_pending.contains(key)) {
            continue;
        }
        const std::optional<Base> base = baseFor(key, requests[i].base);
        if (!base) {
            work.draws.push_back(key);
            continue;
        }
        const std::int64_t degrees = PageDescriptor::normalized(key.rotation - base->page.rotation);
        if (degrees == 0) {
            store(key, base->picture, false);
            pictures[static_cast<qsizetype>(i)] = base->picture;
        } else if (degrees % 90 == 0) {
            work.turns.append(Work::Turn{key, base->picture, degrees});
        } else {
            work.draws.push_back(key);
        }
    }
    // A page asked for twice gets the picture its first request kept.
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (pictures[static_cast<qsizetype>(i)].isNull()) {
            pictures[static_cast<qsizetype>(i)] = known(requests[i].page);
        }
    }
    for (const Work::Turn& turn : work.turns) {
        m_pending.insert(turn.page);
    }
    m_pending.insert(work.draws.begin(), work.draws.end());
    trim();
    return {pictures, work};
}

std::optional<ThumbnailStore::Base> ThumbnailStore::baseFor(const PageDescriptor& key,
                                                            const std::optional<Base>& offered) const
{
    const auto kept = m_entries.find(key.content);
    // Prefer a picture the engine drew: each turn re-encodes and loses a little.
    if (kept != m_entries.end()) {
        for (const Entry& entry : kept->second) {
            if (entry.drawn) {
                return Base{PageDescriptor(key.content, entry.rotation), entry.picture};
            }
        }
    }
    if (!offered || offered->picture.isNull() || offered->page.content != key.content) {
        return std::nullopt;
    }
    // A card may still show its picture from before a turn whose picture is on its way; the
    // kept entry sharing its bytes says which rotation the picture really shows.
    if (kept != m_entries.end()) {
        for (const Entry& entry : kept->second) {
            if (entry.picture.constData() == offered->picture.constData()) {
                return Base{PageDescriptor(key.content, entry.rotation), entry.picture};
            }
        }
    }
    return Base{keyOf(offered->page), offered->picture};
}

std::vector<ThumbnailStore::Made> ThumbnailStore::make(const Work& work)
{
    std::vector<Made> made;
    const QList<QByteArray> turnedPictures = QtConcurrent::blockingMapped<QList<QByteArray>>(
        &picturePool(), work.turns, [](const Work::Turn& turn) { return turned(turn.base, turn.degrees); });
    std::vector<PageDescriptor> toDraw = work.draws;
    for (qsizetype i = 0; i < work.turns.size(); ++i) {
        if (turnedPictures[i].isNull()) {
            toDraw.push_back(work.turns[i].page);
        } else {
            made.push_back(Made{work.turns[i].page, turnedPictures[i], false});
        }
    }
    const QList<QByteArray> drawn = draw(toDraw);
    for (std::size_t i = 0; i < toDraw.size(); ++i) {
        made.push_back(Made{toDraw[i], drawn[static_cast<qsizetype>(i)], true});
    }
    return made;
}

void ThumbnailStore::remember(const std::vector<Made>& made)
{
    for (const Made& picture : made) {
        m_pending.erase(keyOf(picture.page));
        store(keyOf(picture.page), picture.picture, picture.drawn);
    }
    trim();
}

QByteArray ThumbnailStore::known(const PageDescriptor& page)
{
    const Entry* kept = find(keyOf(page));
    return kept ? kept->picture : QByteArray();
}

void ThumbnailStore::rememberDrawn(const PageDescriptor& page, const QByteArray& picture)
{
    if (picture.isNull()) {
        return;
    }
    const PageDescriptor key = keyOf(page);
    if (const Entry* known = find(key); known && known->picture != picture) {
        // The file changed on disk since its pictures were made; none of them is right any more.
        for (const Entry& entry : m_entries[key.content]) {
            m_bytes -= entry.picture.size();
        }
        m_entries.erase(key.content);
    }
    store(key, picture, true);
    trim();
}

ThumbnailStore::Entry* ThumbnailStore::find(const PageDescriptor& key)
{
    const auto kept = m_entries.find(key.content);
    if (kept == m_entries.end()) {
        return nullptr;
    }
    for (Entry& entry : kept->second) {
        if (entry.rotation == key.rotation) {
            entry.lastUse = ++m_clock;
            return &entry;
        }
    }
    return nullptr;
}

void ThumbnailStore::store(const PageDescriptor& key, const QByteArray& picture, bool drawn)
{
    if (picture.isNull()) {
        return;
    }
    std::vector<Entry>& entries = m_entries[key.content];
    const auto same = std::find_if(entries.begin(), entries.end(),
                                   [&](const Entry& entry) { return entry.rotation == key.rotation; });
    if (same != entries.end()) {
        m_bytes -= same->picture.size();
        entries.erase(same);
    }
    entries.push_back(Entry{key.rotation, picture, drawn, ++m_clock});
    m_bytes += picture.size();
}

void ThumbnailStore::trim()
{
    if (m_bytes <= m_budget) {
        return;
    }
    std::vector<std::tuple<std::uint64_t, PageContent, std::int64_t>> byAge;
    for (const auto& [content, entries] : m_entries) {
        for (const Entry& entry : entries) {
            byAge.emplace_back(entry.lastUse, content, entry.rotation);
        }
    }
    std::sort(byAge.begin(), byAge.end(), [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
    // Down to three quarters, so that a full store is not trimmed again on every call.
    for (const auto& [lastUse, content, rotation] : byAge) {
        if (m_bytes <= m_budget / 4 * 3) {
            break;
        }
        auto& entries = m_entries[content];
        std::erase_if(entries, [&](const Entry& entry) {
            if (entry.rotation != rotation) {
                return false;
            }
            m_bytes -= entry.picture.size();
            return true;
        });
        if (entries.empty()) {
            m_entries.erase(content);
        }
    }
}

} // namespace lumafold
