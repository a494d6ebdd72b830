// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace lumafold {

struct CombinePDFsResult
{
    std::filesystem::path combinedPath;
    std::int64_t fileCount = 0;
    std::int64_t pageCount = 0;
    std::string dialog;
};

// The "Combine PDFs" action. The command line, the session-bus service and the file-manager
// entries all run perform(); it uses the engine directly and never the workspace model.
struct CombinePDFsIntent
{
    std::vector<std::filesystem::path> pdfs;
    // Written here instead of "Combined.pdf" in the working folder; it must not exist yet.
    std::optional<std::filesystem::path> destination;

    // Merges every page of `pdfs`, in order, with metadata kept. Inputs are only read.
    // Throws LumafoldIntentError, LumafoldError (naming the file as given, never the internal
    // copy), FileSystemError or Cancelled. A failure leaves no file and no folder behind; on
    // success only the result remains.
    CombinePDFsResult perform(std::stop_token stop = {}) const;

    static std::string dialog(std::int64_t fileCount, std::int64_t pageCount);
};

} // namespace lumafold
