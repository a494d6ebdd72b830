// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/PageModel.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <vector>

namespace lumafold::mupdf {
class Document;
class OutputDocument;
} // namespace lumafold::mupdf

// Pieces the engine's operations share; not for use outside core/.
namespace lumafold::LumafoldEngine::detail {

// Opens the file at `path` for reading its pages. Throws LumafoldError: encrypted for a file that
// needs a password, tooManyOpenFiles, and cannotRead for one MuPDF cannot open.
mupdf::Document openUnlocked(const std::filesystem::path& path);

// Copies the pages into a new document, closes every source, then hands the document to `save`.
// Returns the number of distinct source files used. Throws what assemble throws.
std::int64_t build(const std::vector<PageDescriptor>& pages, bool removeMetadata, std::stop_token stop,
                   const std::function<void(mupdf::OutputDocument&)>& save);

// Fills a new hidden side file next to `destination` through `fill` (false: cannot write, with
// errno telling why; it may also throw mupdf::WriteFailed), checks that it reopens with
// `pageCount` pages, and renames it into place without ever replacing anything. Throws what
// write throws.
std::filesystem::path placeVerified(const std::filesystem::path& destination, std::int64_t pageCount,
                                    const std::function<bool(int fd)>& fill);

} // namespace lumafold::LumafoldEngine::detail
