// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/LumafoldEngine.h"

#include "core/EngineInternal.h"
#include "core/engine/PdfDocument.h"

#include <functional>
#include <limits>
#include <malloc.h>
#include <map>

namespace lumafold::LumafoldEngine {

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define LUMAFOLD_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMAFOLD_UNDER_ASAN 1
#endif
#endif

// glibc keeps freed heap pages resident; this hands them back to the system. Not under
// AddressSanitizer, whose allocator glibc's trim knows nothing about (it crashes there).
void releaseFreedMemory()
{
#ifndef LUMAFOLD_UNDER_ASAN
    malloc_trim(0);
#endif
}

struct OpenSource
{
    mupdf::Document document;
    int slot;
    int pageCount;
};

// Each distinct file is opened once per assembly, however many of its pages are used, and closed
// after its last one. Must outlive the output document, which refers to the open sources.
class SourceCache
{
public:
    explicit SourceCache(std::stop_token stop) : m_stop(std::move(stop)) {}

    OpenSource& open(const std::filesystem::path& path, mupdf::OutputDocument& output)
    {
        if (auto found = m_sources.find(path); found != m_sources.end()) {
            return found->second;
        }
        auto document = detail::openUnlocked(path);
        // Stored before the output refers to it, so it stays open even if registering fails.
        auto& source = m_sources.emplace(path, OpenSource{std::move(document), -1, 0}).first->second;
        try {
            // Counts the pages in the walk that collects them, the only walk of its page tree.
            const auto added = output.addSource(source.document, m_stop);
            source.slot = added.slot;
            source.pageCount = added.pageCount;
            return source;
        } catch (const mupdf::FzError&) {
            throw LumafoldError::cannotRead(path);
        }
    }

    // Copies what the output still needs from the file and closes it.
    void complete(const std::filesystem::path& path, mupdf::OutputDocument& output, bool takeInfo)
    {
        auto source = m_sources.extract(path);
        if (!source.empty()) {
            output.completeSource(source.mapped().slot, takeInfo);
        }
    }

private:
    std::stop_token m_stop;
    std::map<std::filesystem::path, OpenSource> m_sources;
};

int rotationForEngine(std::int64_t rotation)
{
    return static_cast<int>(PageDescriptor::normalized(rotation));
}

void appendSourcePage(mupdf::OutputDocument& output, SourceCache& cache, const SourcePage& page, std::int64_t rotation)
{
    OpenSource& source = cache.open(page.path, output);
    if (page.index < 0 || page.index >= source.pageCount) {
        throw LumafoldError::missingPage(page.path, page.index);
    }
    try {
        output.appendPage(source.slot, static_cast<int>(page.index), rotationForEngine(rotation));
    } catch (const mupdf::FzError&) {
        throw LumafoldError::missingPage(page.path, page.index);
    }
}

void verifyReopens(const Bytes& data, std::int64_t expectedPages)
{
    try {
        auto reopened = mupdf::Document::openMemory(data.data(), data.size());
        if (reopened.pageCount() == expectedPages) {
            return;
        }
    } catch (const mupdf::FzError&) {
    }
    throw LumafoldError::verificationFailed("the saved document could not be reopened with every page");
}

} // namespace

namespace detail {

std::int64_t build(const std::vector<PageDescriptor>& pages, bool removeMetadata, std::stop_token stop,
                   const std::function<void(mupdf::OutputDocument&)>& save)
{
    if (pages.empty()) {
        throw LumafoldError::noPages();
    }
    if (pages.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw LumafoldError::cannotWrite();
    }
    // A file is completed at its last page: its links may lead to pages placed after the first.
    std::map<std::filesystem::path, std::size_t> lastUse;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (pages[i].content.isSource()) {
            lastUse[pages[i].content.sourcePage().path] = i;
        }
    }
    const std::filesystem::path* infoSource = nullptr;
    SourceCache cache(stop);
    mupdf::OutputDocument output;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const auto& page = pages[i];
        if (stop.stop_requested()) {
            throw Cancelled();
        }
        if (page.content.isSource()) {
            const auto& source = page.content.sourcePage();
            appendSourcePage(output, cache, source, page.rotation);
            if (!infoSource) {
                infoSource = &source.path;
            }
            if (lastUse[source.path] == i) {
                try {
                    cache.complete(source.path, output, !removeMetadata && source.path == *infoSource);
                } catch (const mupdf::FzError&) {
                    throw LumafoldError::cannotWrite();
                }
            }
        } else {
            try {
                output.appendBlank(page.content.blankSize(), rotationForEngine(page.rotation));
            } catch (const mupdf::FzError&) {
                throw LumafoldError::cannotWrite();
            }
        }
    }
    try {
        output.finish();
        // Hand the sources' pages back before the output grows.
        releaseFreedMemory();
        save(output);
    } catch (const mupdf::FzError&) {
        throw LumafoldError::cannotWrite();
    }
    return static_cast<std::int64_t>(lastUse.size());
}

} // namespace detail

PagesResult assemble(const std::vector<PageDescriptor>& pages, bool removeMetadata, std::stop_token stop)
{
    mupdf::RawBuffer raw;
    PagesResult result;
    result.sourceCount =
        detail::build(pages, removeMetadata, stop, [&raw](mupdf::OutputDocument& output) { raw = output.save(); });
    releaseFreedMemory(); // the closed output document's pages, before the copy below takes as many
    result.data = raw.toBytes();
    raw = {};
    if (result.data.empty()) {
        throw LumafoldError::cannotWrite();
    }
    result.pageCount = static_cast<std::int64_t>(pages.size());
    verifyReopens(result.data, result.pageCount);
    return result;
}

std::filesystem::path assembleToFile(const std::vector<PageDescriptor>& pages, bool removeMetadata,
                                     const std::filesystem::path& destination, std::stop_token stop)
{
    if (pages.empty()) {
        throw LumafoldError::noPages();
    }
    return detail::placeVerified(destination, static_cast<std::int64_t>(pages.size()), [&](int fd) {
        detail::build(pages, removeMetadata, stop, [fd](mupdf::OutputDocument& output) { output.saveTo(fd); });
        return true;
    });
}

} // namespace lumafold::LumafoldEngine
