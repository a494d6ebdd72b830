// SPDX-License-Identifier: AGPL-3.0-or-later
#include "app/model/ThumbnailStore.h"

#include "core/LumafoldEngine.h"

#include <QBuffer>
#include <QImage>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <QTransform>

#include <algorithm>
#include <tuple>

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

struct Turn
{
    PageDescriptor page;
    QByteArray base;
    std::int64_t degrees = 0;
};

} // namespace

ThumbnailStore::ThumbnailStore(qsizetype byteBudget) : m_budget(byteBudget) {}

QList<QByteArray> ThumbnailStore::draw(const std::vector<PageDescriptor>& pages)
{
    QList<QByteArray> pictures(static_cast<qsizetype>(pages.size()));
    try {
        // On every core; the engine deals out the pages and opens each file once per worker.
        const auto drawn = LumafoldEngine::thumbnailsData(
            pages, ThumbnailStore::maxPixelSize, static_cast<unsigned>(std::max(1, QThread::idealThreadCount())));
        for (std::size_t i = 0; i < drawn.size(); ++i) {
            pictures[static_cast<qsizetype>(i)] = toByteArray(drawn[i]);
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

QList<QByteArray> ThumbnailStore::picturesFor(const std::vector<Request>& requests)
{
    QList<QByteArray> result(static_cast<qsizetype>(requests.size()));
    std::unordered_map<PageDescriptor, std::vector<qsizetype>> waiting;
    QList<Turn> turns;
    std::vector<PageDescriptor> toDraw;

    for (std::size_t i = 0; i < requests.size(); ++i) {
        const PageDescriptor key = keyOf(requests[i].page);
        if (const Entry* known = find(key)) {
            result[static_cast<qsizetype>(i)] = known->picture;
            continue;
        }
        auto [slot, isNew] = waiting.try_emplace(key);
        slot->second.push_back(static_cast<qsizetype>(i));
        if (!isNew) {
            continue;
        }
        // Prefer a picture the engine drew: each turn re-encodes and loses a little.
        std::optional<Base> base;
        if (auto kept = m_entries.find(key.content); kept != m_entries.end()) {
            for (const Entry& entry : kept->second) {
                if (entry.drawn) {
                    base = Base{PageDescriptor(key.content, entry.rotation), entry.picture};
                }
            }
        }
        if (!base && requests[i].base && !requests[i].base->picture.isNull() &&
            requests[i].base->page.content == key.content) {
            base = Base{keyOf(requests[i].base->page), requests[i].base->picture};
        }
        if (!base) {
            toDraw.push_back(key);
            continue;
        }
        const std::int64_t degrees = PageDescriptor::normalized(key.rotation - base->page.rotation);
        if (degrees == 0) {
            store(key, base->picture, false);
        } else if (degrees % 90 == 0) {
            turns.append(Turn{key, base->picture, degrees});
        } else {
            toDraw.push_back(key);
        }
    }

    const QList<QByteArray> turnedPictures = QtConcurrent::blockingMapped<QList<QByteArray>>(
        &picturePool(), turns, [](const Turn& turn) { return turned(turn.base, turn.degrees); });
    for (qsizetype i = 0; i < turns.size(); ++i) {
        if (turnedPictures[i].isNull()) {
            toDraw.push_back(turns[i].page);
        } else {
            store(turns[i].page, turnedPictures[i], false);
        }
    }
    const QList<QByteArray> drawn = draw(toDraw);
    for (std::size_t i = 0; i < toDraw.size(); ++i) {
        store(toDraw[i], drawn[static_cast<qsizetype>(i)], true);
    }

    for (const auto& [key, positions] : waiting) {
        const Entry* entry = find(key);
        for (const qsizetype position : positions) {
            result[position] = entry ? entry->picture : QByteArray();
        }
    }
    trim();
    return result;
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
