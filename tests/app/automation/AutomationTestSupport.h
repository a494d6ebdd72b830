// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "automation/CombineCommand.h"
#include "support/PageWidths.h"
#include "support/PdfInspector.h"
#include "support/Qpdf.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace lumafold::test {

// Inputs, and a temporary folder of the test's own for the working folders.
class CombineFixture : public ::testing::Test
{
protected:
    TempDir inputs;
    TempDir temporary;
    ScopedEnvironmentVariable temporaryOverride{"TMPDIR", temporary.path()};
};

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
inline std::vector<double> writeAwkwardPdfs(const std::filesystem::path& folder)
{
    std::vector<double> widths;
    for (const auto& name : awkwardNames) {
        widths.push_back(400.0 + static_cast<double>(widths.size()));
        writeWidthsPdf(folder / name, {widths.back()},
                       widths.size() == 1 ? std::optional<std::string>("Quarterly report") : std::nullopt);
    }
    return widths;
}

// The "Marlo Lumafold Intent <UUID>" folders directly inside `folder`.
inline std::vector<std::filesystem::path> workingFolders(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with("Marlo Lumafold Intent ")) {
            found.push_back(entry.path());
        }
    }
    return found;
}

// True when `path` is "Combined.pdf" in a working folder directly inside `temporary`.
inline bool isCombinedInWorkingFolder(const std::filesystem::path& path, const std::filesystem::path& temporary)
{
    static const std::regex folderName("Marlo Lumafold Intent [0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-"
                                       "[0-9A-F]{12}");
    return path.filename() == "Combined.pdf" && path.parent_path().parent_path() == temporary &&
           std::regex_match(path.parent_path().filename().string(), folderName);
}

// `lumafold combine ARGS`, in process.
inline ProcessResult runCombine(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int exitCode = runCombineCommand(args, out, err);
    return {exitCode, out.str(), err.str()};
}

// Expects a successful run that printed `dialog`, and returns the path printed after it.
inline std::filesystem::path printedResult(const ProcessResult& result, const std::string& dialog)
{
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(result.errors, "");
    EXPECT_TRUE(result.output.starts_with(dialog + "\n") && result.output.ends_with('\n')) << result.output;
    const auto lineEnd = result.output.find('\n');
    return result.output.substr(lineEnd + 1, result.output.size() - lineEnd - 2);
}

} // namespace lumafold::test
