// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/LumafoldError.h"
#include "lumafold/PageModel.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

// The page engine: stateless operations, callable from any thread. Failures are thrown as
// LumafoldError; a requested stop is thrown as Cancelled. Source files are only ever read.
namespace lumafold::LumafoldEngine {

// 1-based positions typed by a user ("1-3, 5") into 0-based positions, in first-seen order
// without repeats. Throws LumafoldError::invalidRange carrying the untouched text, also for an
// input that would select more than 2^23 positions.
std::vector<std::int64_t> parsePageRange(const std::string& text, std::int64_t maximum);

// Copies (never re-renders) the pages into one new PDF in memory and verifies it reopens with
// every page. Annotations travel with their pages; internal links follow their target page
// when it is part of the result and are dropped otherwise.
PagesResult assemble(const std::vector<PageDescriptor>& pages, bool removeMetadata, std::stop_token stop = {});

// Stores the PDF at `destination`, which must not exist yet: written to a hidden side file,
// reread and counted, then renamed without ever replacing anything. Returns `destination`.
// A failure to create the parent folder is thrown as FileSystemError.
std::filesystem::path write(const PagesResult& result, const std::filesystem::path& destination);

// assemble followed by write, without ever holding the whole PDF in memory: the new document is
// written straight into the hidden side file, which is verified from disk and renamed into place.
// Throws what either of them throws.
std::filesystem::path assembleToFile(const std::vector<PageDescriptor>& pages, bool removeMetadata,
                                     const std::filesystem::path& destination, std::stop_token stop = {});

// Writes consecutive runs of `chunkSize` pages (at least 1) as baseName-01.pdf, -02.pdf, ...
// into `folder`. All or nothing: on failure every file this call wrote is removed again.
std::vector<std::filesystem::path> split(const std::vector<PageDescriptor>& pages, std::int64_t chunkSize,
                                         const std::filesystem::path& folder, const std::string& baseName,
                                         bool removeMetadata, std::stop_token stop = {});

// The file name of split file `number` (1-based) out of `fileCount`.
std::string splitFileName(const std::string& baseName, std::int64_t number, std::int64_t fileCount);

PDFDocumentInfo inspect(const std::filesystem::path& path);

// One unturned descriptor per page of the file.
std::vector<PageDescriptor> descriptors(const std::filesystem::path& path);

// The JPEG quality of card pictures, also for pictures turned after drawing.
inline constexpr int thumbnailQuality = 82;

// JPEG (thumbnailQuality) of the page as it will be exported, its longest side at most maxPixelSize
// pixels; nothing when the page cannot be drawn.
std::optional<Bytes> thumbnailData(const PageDescriptor& page, std::int64_t maxPixelSize);

// The same for many pages at once; each source file is opened once per call. The result has
// one entry per descriptor, in order.
std::vector<std::optional<Bytes>> thumbnailsData(const std::vector<PageDescriptor>& pages, std::int64_t maxPixelSize);

// The same on `workers` threads of its own, each opening every file it needs once. Runs of
// pages are dealt out in turn, so light and heavy stretches of a document are shared out evenly.
// Blocks until all are drawn; call it off the main thread.
std::vector<std::optional<Bytes>> thumbnailsData(const std::vector<PageDescriptor>& pages, std::int64_t maxPixelSize,
                                                 unsigned workers);

} // namespace lumafold::LumafoldEngine
