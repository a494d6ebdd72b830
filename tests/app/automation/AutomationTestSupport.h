// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "support/PageWidths.h"

#include <filesystem>
#include <optional>
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
};

// Read with qpdf, independently of the engine.
std::optional<std::string> documentTitle(const std::filesystem::path& pdf);

// The "Marlo Lumafold Intent <UUID>" folders directly inside `folder`.
std::vector<std::filesystem::path> workingFolders(const std::filesystem::path& folder);
// True when `path` is "Combined.pdf" in a working folder directly inside `temporary`.
bool isCombinedInWorkingFolder(const std::filesystem::path& path, const std::filesystem::path& temporary);

// Points TMPDIR at `folder` while it lives.
class TemporaryDirectoryOverride
{
public:
    explicit TemporaryDirectoryOverride(const std::filesystem::path& folder);
    ~TemporaryDirectoryOverride();
    TemporaryDirectoryOverride(const TemporaryDirectoryOverride&) = delete;
    TemporaryDirectoryOverride& operator=(const TemporaryDirectoryOverride&) = delete;

private:
    std::optional<std::string> m_previous;
};

struct CommandResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

// `lumafold combine ARGS`, in process.
CommandResult runCombine(const std::vector<std::string>& args);
// Expects a successful run that printed `dialog`, and returns the path printed after it.
std::filesystem::path printedResult(const CommandResult& result, const std::string& dialog);

} // namespace lumafold::test
