// SPDX-License-Identifier: AGPL-3.0-or-later
#include "AutomationTestSupport.h"

#include "automation/CombineCommand.h"
#include "support/PdfInspector.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <sstream>

namespace lumafold::test {

std::optional<std::string> documentTitle(const std::filesystem::path& pdf)
{
    const PdfInspector inspector(pdf);
    const auto trailer = inspector.trailer();
    const auto info = trailer.contains("/Info") ? inspector.resolve(trailer.at("/Info")) : nlohmann::json::object();
    if (!info.contains("/Title")) {
        return std::nullopt;
    }
    // qpdf writes text strings as "u:..." and others as "b:<hex>".
    const auto title = inspector.resolve(info.at("/Title")).get<std::string>();
    return title.starts_with("u:") ? title.substr(2) : title;
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

TemporaryDirectoryOverride::TemporaryDirectoryOverride(const std::filesystem::path& folder)
{
    if (const char* previous = std::getenv("TMPDIR")) {
        m_previous = previous;
    }
    ::setenv("TMPDIR", folder.c_str(), 1);
}

TemporaryDirectoryOverride::~TemporaryDirectoryOverride()
{
    if (m_previous) {
        ::setenv("TMPDIR", m_previous->c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
}

CommandResult runCombine(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int exitCode = runCombineCommand(args, out, err);
    return {exitCode, out.str(), err.str()};
}

std::filesystem::path printedResult(const CommandResult& result, const std::string& dialog)
{
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.out.starts_with(dialog + "\n") && result.out.ends_with('\n')) << result.out;
    const auto lineEnd = result.out.find('\n');
    return result.out.substr(lineEnd + 1, result.out.size() - lineEnd - 2);
}

} // namespace lumafold::test
