// SPDX-License-Identifier: AGPL-3.0-or-later
#include "automation/CombinePDFsIntent.h"

#include "automation/LumafoldIntentError.h"
#include "automation/WorkingFolder.h"
#include "lumafold/LumafoldEngine.h"

#include <cstdio>
#include <map>

namespace lumafold {

namespace {

// The engine names the internal "Input n.pdf" copy, which tells the user nothing.
LumafoldError naming(const LumafoldError& error, const std::map<std::filesystem::path, std::filesystem::path>& given)
{
    const auto found = given.find(error.path().lexically_normal());
    if (found == given.end()) {
        return error;
    }
    const auto& url = found->second;
    switch (error.kind()) {
    case LumafoldError::Kind::cannotRead:
        return LumafoldError::cannotRead(url);
    case LumafoldError::Kind::tooManyOpenFiles:
        return LumafoldError::tooManyOpenFiles(url);
    case LumafoldError::Kind::encrypted:
        return LumafoldError::encrypted(url);
    case LumafoldError::Kind::emptyDocument:
        return LumafoldError::emptyDocument(url);
    case LumafoldError::Kind::missingPage:
        return LumafoldError::missingPage(url, error.index());
    default:
        return error;
    }
}

} // namespace

std::string CombinePDFsIntent::dialog(std::int64_t fileCount, std::int64_t pageCount)
{
    char text[96];
    std::snprintf(text, sizeof text, "Combined %lld PDFs into %lld pages.", static_cast<long long>(fileCount),
                  static_cast<long long>(pageCount));
    return text;
}

CombinePDFsResult CombinePDFsIntent::perform(std::stop_token stop) const
{
    if (pdfs.empty()) {
        throw LumafoldIntentError::noInput();
    }
    std::optional<std::filesystem::path> target;
    if (destination) {
        target = std::filesystem::absolute(*destination).lexically_normal();
        // Refused before any work; write() refuses it again should it appear meanwhile.
        std::error_code ignored;
        if (std::filesystem::symlink_status(*target, ignored).type() != std::filesystem::file_type::not_found) {
            throw LumafoldError::destinationExists(*target);
        }
    }

    WorkingFolder folder;
    std::map<std::filesystem::path, std::filesystem::path> given;
    std::vector<std::filesystem::path> copies;
    std::vector<PageDescriptor> pages;
    try {
        for (std::size_t i = 0; i < pdfs.size(); ++i) {
            if (stop.stop_requested()) {
                throw Cancelled();
            }
            const auto copy = folder.copyIn(pdfs[i], "Input " + std::to_string(i + 1) + ".pdf");
            given.emplace(copy.lexically_normal(), pdfs[i]);
            copies.push_back(copy);
            auto found = LumafoldEngine::descriptors(copy);
            pages.insert(pages.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
        }
        // Written straight to disk and verified there: the result never sits in memory whole.
        const auto written =
            LumafoldEngine::assembleToFile(pages, false, target ? *target : folder.path() / "Combined.pdf", stop);
        const auto pageCount = static_cast<std::int64_t>(pages.size());
        CombinePDFsResult result{written, static_cast<std::int64_t>(pdfs.size()), pageCount,
                                 dialog(static_cast<std::int64_t>(pdfs.size()), pageCount)};
        if (!target) {
            // The caller receives only the result; the copies would just hold documents in /tmp.
            for (const auto& copy : copies) {
                std::error_code ignored;
                std::filesystem::remove(copy, ignored);
            }
            folder.keep();
        }
        return result;
    } catch (const LumafoldError& error) {
        throw naming(error, given);
    }
}

} // namespace lumafold
