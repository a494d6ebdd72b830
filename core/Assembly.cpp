// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/LumafoldEngine.h"

#include "core/engine/PdfDocument.h"

#include <limits>
#include <malloc.h>
#include <map>
#include <set>

namespace lumafold::LumafoldEngine {

namespace {

struct OpenSource
{
    engine::Document document;
    int slot;
    int pageCount;
};

// Each distinct file is opened once per assembly, however many of its pages are used.
// Must outlive the output document, which refers to the open sources.
class SourceCache
{
public:
    OpenSource& open(const std::filesystem::path& url, engine::OutputDocument& output)
    {
        if (auto found = m_sources.find(url); found != m_sources.end()) {
            return found->second;
        }
        try {
            auto document = engine::Document::openFile(url);
            if (document.isLocked()) {
                throw LumafoldError::encrypted(url);
            }
            const int count = document.pageCount();
            // Stored before the output refers to it, so it stays open even if registering fails.
            auto& source = m_sources.emplace(url, OpenSource{std::move(document), -1, count}).first->second;
            source.slot = output.addSource(source.document);
            return source;
        } catch (const engine::FzError&) {
            throw LumafoldError::cannotRead(url);
        }
    }

    void close() { m_sources.clear(); }

private:
    std::map<std::filesystem::path, OpenSource> m_sources;
};

int rotationForEngine(std::int64_t rotation)
{
    return static_cast<int>(PageDescriptor::normalized(rotation));
}

void appendSourcePage(engine::OutputDocument& output, SourceCache& cache, const SourcePage& page, std::int64_t rotation)
{
    OpenSource& source = cache.open(page.url, output);
    if (page.index < 0 || page.index >= source.pageCount) {
        throw LumafoldError::missingPage(page.url, page.index);
    }
    try {
        output.appendPage(source.slot, static_cast<int>(page.index), rotationForEngine(rotation));
    } catch (const engine::FzError&) {
        throw LumafoldError::missingPage(page.url, page.index);
    }
}

void verifyReopens(const Bytes& data, std::int64_t expectedPages)
{
    try {
        auto reopened = engine::Document::openMemory(data.data(), data.size());
        if (reopened.pageCount() == expectedPages) {
            return;
        }
    } catch (const engine::FzError&) {
    }
    throw LumafoldError::verificationFailed("the saved document could not be reopened with every page");
}

// Copies the pages into a new document and serialises it. The sources are closed before the
// document is written, and the document before the caller copies the bytes, to keep the peak
// memory down.
engine::RawBuffer serialise(const std::vector<PageDescriptor>& pages, bool removeMetadata, std::stop_token stop,
                            std::set<std::filesystem::path>& contributors)
{
    SourceCache cache;
    engine::OutputDocument output;
    int firstSourceSlot = -1;
    for (const auto& page : pages) {
        if (stop.stop_requested()) {
            throw Cancelled();
        }
        if (page.content.isSource()) {
            const auto& source = page.content.sourcePage();
            appendSourcePage(output, cache, source, page.rotation);
            contributors.insert(source.url);
            if (firstSourceSlot < 0) {
                firstSourceSlot = cache.open(source.url, output).slot;
            }
        } else {
            try {
                output.appendBlank(page.content.blankSize());
            } catch (const engine::FzError&) {
                throw LumafoldError::cannotWrite();
            }
        }
    }
    try {
        output.finish(removeMetadata ? -1 : firstSourceSlot);
        // Everything needed has been copied: the sources' parsed objects can go before writing.
        output.releaseSources();
        cache.close();
        // glibc keeps freed heap pages resident; hand them back before the output buffer grows.
        malloc_trim(0);
        return output.save();
    } catch (const engine::FzError&) {
        throw LumafoldError::cannotWrite();
    }
}

} // namespace

PagesResult assemble(const std::vector<PageDescriptor>& pages, bool removeMetadata, std::stop_token stop)
{
    if (pages.empty()) {
        throw LumafoldError::noPages();
    }
    if (pages.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw LumafoldError::cannotWrite();
    }
    std::set<std::filesystem::path> contributors;
    PagesResult result;
    auto raw = serialise(pages, removeMetadata, stop, contributors);
    malloc_trim(0); // the closed output document's pages, before the copy below takes as many
    result.data = raw.toBytes();
    if (result.data.empty()) {
        throw LumafoldError::cannotWrite();
    }
    result.pageCount = static_cast<std::int64_t>(pages.size());
    result.sourceCount = static_cast<std::int64_t>(contributors.size());
    verifyReopens(result.data, result.pageCount);
    return result;
}

} // namespace lumafold::LumafoldEngine
