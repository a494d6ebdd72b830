// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/LumafoldEngine.h"

#include "core/EngineInternal.h"
#include "core/JpegEncoder.h"
#include "core/engine/PdfDocument.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <thread>

namespace lumafold::LumafoldEngine {

mupdf::Document detail::openUnlocked(const std::filesystem::path& path)
{
    try {
        auto document = mupdf::Document::openFile(path);
        if (document.isLocked()) {
            throw LumafoldError::encrypted(path);
        }
        return document;
    } catch (const mupdf::FzError& error) {
        if (error.code() == mupdf::FzError::tooManyOpenFiles) {
            throw LumafoldError::tooManyOpenFiles(path);
        }
        throw LumafoldError::cannotRead(path);
    }
}

namespace {

// Guards against absurd requests (a fuzzed size, a huge maxPixelSize) allocating gigabytes.
constexpr double largestPictureSide = 16384;

mupdf::Document openReadable(const std::filesystem::path& path, int& pageCount)
{
    auto document = detail::openUnlocked(path);
    try {
        pageCount = document.pageCount();
    } catch (const mupdf::FzError&) {
        throw LumafoldError::cannotRead(path);
    }
    return document;
}

std::optional<Bytes> blankPicture(const PageSize& size, double maxSide)
{
    const double w = size.width, h = size.height;
    if (!std::isfinite(w) || !std::isfinite(h)) {
        return std::nullopt;
    }
    const double scale = maxSide / std::max(w, h);
    const double pictureWidth = scale >= 1 ? std::max(w, 1.0) : std::max(w * scale, 1.0);
    const double pictureHeight = scale >= 1 ? std::max(h, 1.0) : std::max(h * scale, 1.0);
    if (pictureWidth > largestPictureSide || pictureHeight > largestPictureSide) {
        return std::nullopt;
    }
    const int width = std::max(1, static_cast<int>(std::lround(pictureWidth)));
    const int height = std::max(1, static_cast<int>(std::lround(pictureHeight)));
    const std::vector<unsigned char> white(static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(height),
                                           0xFF);
    return JpegEncoder::encodeRgb(white.data(), width, height, width * 3);
}

std::optional<Bytes> sourcePicture(const mupdf::Document& document, int pageCount, std::int64_t index,
                                   std::int64_t rotation, double maxSide)
{
    if (index < 0 || index >= pageCount || maxSide > largestPictureSide) {
        return std::nullopt;
    }
    try {
        const auto pixmap =
            mupdf::Pixmap::render(document, static_cast<int>(index),
                                  static_cast<int>(PageDescriptor::normalized(rotation)), static_cast<float>(maxSide));
        return JpegEncoder::encodeRgb(pixmap.samples, pixmap.width, pixmap.height, pixmap.stride);
    } catch (const mupdf::FzError&) {
        return std::nullopt;
    }
}

struct ReadableSource
{
    std::optional<mupdf::Document> document;
    int pageCount = 0;
};

// Documents opened for one batch of pictures; a file that cannot be opened is tried once.
class PictureSources
{
public:
    // An open document keeps every object it has parsed, growing with each page drawn; reopened
    // after this many pictures, memory stays flat at a small cost in time.
    static constexpr int picturesPerOpening = 128;

    ReadableSource& open(const std::filesystem::path& path)
    {
        if (++m_pictures % picturesPerOpening == 0) {
            m_sources.clear();
        }
        auto [entry, inserted] = m_sources.try_emplace(path);
        if (inserted) {
            try {
                entry->second.document.emplace(openReadable(path, entry->second.pageCount));
            } catch (const LumafoldError&) {
            }
        }
        return entry->second;
    }

private:
    std::map<std::filesystem::path, ReadableSource> m_sources;
    int m_pictures = 0;
};

std::optional<Bytes> picture(PictureSources& sources, const PageDescriptor& page, std::int64_t maxPixelSize)
{
    const auto maxSide = static_cast<double>(maxPixelSize);
    if (page.content.isBlank()) {
        return blankPicture(page.content.blankSize(), maxSide);
    }
    const auto& source = page.content.sourcePage();
    auto& readable = sources.open(source.path);
    if (!readable.document) {
        return std::nullopt;
    }
    return sourcePicture(*readable.document, readable.pageCount, source.index, page.rotation, maxSide);
}

} // namespace

namespace {

// The three checks every use of a file starts with, in their order: readable, unlocked, not empty.
mupdf::Document openUsable(const std::filesystem::path& path, int& pageCount)
{
    auto document = openReadable(path, pageCount);
    if (pageCount < 1) {
        throw LumafoldError::emptyDocument(path);
    }
    return document;
}

} // namespace

PDFDocumentInfo inspect(const std::filesystem::path& path)
{
    PDFDocumentInfo info;
    int pageCount = 0;
    const auto document = openUsable(path, pageCount);
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    info.bytes = error ? 0 : static_cast<std::int64_t>(size);
    info.pageCount = pageCount;
    try {
        info.pageSizes = document.mediaSizes();
    } catch (const mupdf::FzError&) {
        info.pageSizes.assign(static_cast<std::size_t>(pageCount), PageSize{0, 0});
    }
    try {
        info.title = document.title();
    } catch (const mupdf::FzError&) {
        info.title.reset();
    }
    return info;
}

std::vector<PageDescriptor> descriptors(const std::filesystem::path& path)
{
    // The same checks as inspect, without reading every page's size only to throw it away:
    // on a long document that is most of the work.
    int pageCount = 0;
    openUsable(path, pageCount);
    std::vector<PageDescriptor> pages;
    pages.reserve(static_cast<std::size_t>(pageCount));
    for (std::int64_t index = 0; index < pageCount; ++index) {
        pages.emplace_back(PageContent::source(path, index), 0);
    }
    return pages;
}

std::optional<Bytes> thumbnailData(const PageDescriptor& page, std::int64_t maxPixelSize)
{
    PictureSources sources;
    return picture(sources, page, maxPixelSize);
}

std::vector<std::optional<Bytes>> thumbnailsData(const std::vector<PageDescriptor>& pages, std::int64_t maxPixelSize)
{
    PictureSources sources;
    std::vector<std::optional<Bytes>> pictures;
    pictures.reserve(pages.size());
    for (const auto& page : pages) {
        pictures.push_back(picture(sources, page, maxPixelSize));
    }
    return pictures;
}

std::vector<std::optional<Bytes>> thumbnailsData(const std::vector<PageDescriptor>& pages, std::int64_t maxPixelSize,
                                                 unsigned workers)
{
    // Long enough that neighbouring pages share the objects each worker parses, short enough
    // that no worker is left with all the heavy pages.
    constexpr std::size_t run = 64;
    const auto threads = std::min<std::size_t>(std::max(workers, 1u), (pages.size() + run - 1) / run);
    if (threads <= 1) {
        return thumbnailsData(pages, maxPixelSize);
    }
    std::vector<std::optional<Bytes>> pictures(pages.size());
    {
        std::vector<std::jthread> pool;
        for (std::size_t worker = 0; worker < threads; ++worker) {
            pool.emplace_back([&pages, &pictures, maxPixelSize, threads, worker] {
                try {
                    PictureSources sources;
                    for (std::size_t start = worker * run; start < pages.size(); start += threads * run) {
                        for (std::size_t i = start; i < std::min(start + run, pages.size()); ++i) {
                            pictures[i] = picture(sources, pages[i], maxPixelSize);
                        }
                    }
                } catch (const std::bad_alloc&) {
                    // The pages this worker had left simply get no picture.
                }
            });
        }
    }
    return pictures;
}

} // namespace lumafold::LumafoldEngine
