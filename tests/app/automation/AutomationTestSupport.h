// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "support/PageWidths.h"
#include "support/PdfInspector.h"
#include "support/Qpdf.h"
#include "support/ScopedEnvironment.h"

#include <filesystem>
#include <string>
#include <vector>

namespace lumafold::test {

// File names that break naive quoting or option parsing.
inline const std::vector<std::string> awkwardNames = {
    "two words.pdf",
    "quotes \"double\" and 'single'.pdf",
    "\u00DCml\u00E4ute \u540D\u524D.pdf",
    "-leading dash.pdf",
    "--help",
    "-o",
    "-",
};
// One page under each awkward name, 400, 401, ... points wide, the first titled "Quarterly report".
// Returns the widths.
std::vector<double> writeAwkwardPdfs(const std::filesystem::path& folder);

// The "Marlo Lumafold Intent <UUID>" folders directly inside `folder`.
std::vector<std::filesystem::path> workingFolders(const std::filesystem::path& folder);
// True when `path` is "Combined.pdf" in a working folder directly inside `temporary`.
bool isCombinedInWorkingFolder(const std::filesystem::path& path, const std::filesystem::path& temporary);

// `lumafold combine ARGS`, in process.
ProcessResult runCombine(const std::vector<std::string>& args);
// Expects a successful run that printed `dialog`, and returns the path printed after it.
std::filesystem::path printedResult(const ProcessResult& result, const std::string& dialog);

} // namespace lumafold::test
