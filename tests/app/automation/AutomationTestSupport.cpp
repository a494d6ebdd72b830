// SPDX-License-Identifier: AGPL-3.0-or-later
#include "AutomationTestSupport.h"

#include "automation/CombineCommand.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace lumafold::test {

std::vector<double> writeAwkwardPdfs(const std::filesystem::path& folder)
{
    std::vector<double> widths;
    for (const auto& name : awkwardNames) {
        widths.push_back(400.0 + static_cast<double>(widths.size()));
        writeWidthsPdf(folder / name, {widths.back()},
                       widths.size() == 1 ? std::optional<std::string>("Quarterly report") : std::nullopt);
    }
    return widths;
}

std::vector<std::filesystem::path> workingFolders(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with("Marlo Lumafold Intent ")) {
            found.push_back(entry.path());
        }
    }
    return found;
}

bool isCombinedInWorkingFolder(const std::filesystem::path& path, const std::filesystem::path& temporary)
{
    static const std::regex folderName("Marlo Lumafold Intent [0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-"
                                       "[0-9A-F]{12}");
    return path.filename() == "Combined.pdf" && path.parent_path().parent_path() == temporary &&
           std::regex_match(path.parent_path().filename().string(), folderName);
}

ProcessResult runCombine(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int exitCode = runCombineCommand(args, out, err);
    return {exitCode, out.str(), err.str()};
}

std::filesystem::path printedResult(const ProcessResult& result, const std::string& dialog)
{
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(result.errors, "");
    EXPECT_TRUE(result.output.starts_with(dialog + "\n") && result.output.ends_with('\n')) << result.output;
    const auto lineEnd = result.output.find('\n');
    return result.output.substr(lineEnd + 1, result.output.size() - lineEnd - 2);
}

} // namespace lumafold::test
