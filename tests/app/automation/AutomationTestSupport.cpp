// SPDX-License-Identifier: AGPL-3.0-or-later
#include "tests/app/automation/AutomationTestSupport.h"

#include "app/automation/CombineCommand.h"
#include "tests/support/PdfFactory.h"
#include "tests/support/Qpdf.h"

#include <cstdlib>
#include <regex>
#include <sstream>

namespace lumafold::test {

namespace {

nlohmann::json resolve(const nlohmann::json& objects, const nlohmann::json& value)
{
    if (value.is_string() && value.get<std::string>().ends_with(" R")) {
        return objects.at("obj:" + value.get<std::string>()).at("value");
    }
    return value;
}

} // namespace

std::filesystem::path writeWidthsPdf(const std::filesystem::path& path, const std::vector<double>& widths,
                                     std::optional<std::string> title)
{
    PdfSpec spec;
    for (const double width : widths) {
        PageSpec page;
        page.width = width;
        page.label = "Width " + std::to_string(static_cast<int>(width));
        spec.pages.push_back(page);
    }
    spec.title = std::move(title);
    return writePdf(path, spec);
}

std::vector<double> pageWidths(const std::filesystem::path& pdf)
{
    const auto document = qpdf::json(pdf);
    const auto& objects = document.at("qpdf").at(1);
    std::vector<double> widths;
    for (const auto& page : document.at("pages")) {
        auto node = resolve(objects, page.at("object"));
        while (!node.contains("/MediaBox") && node.contains("/Parent")) {
            node = resolve(objects, node.at("/Parent"));
        }
        const auto box = resolve(objects, node.at("/MediaBox"));
        widths.push_back(box.at(2).get<double>() - box.at(0).get<double>());
    }
    return widths;
}

std::optional<std::string> documentTitle(const std::filesystem::path& pdf)
{
    const auto document = qpdf::json(pdf);
    const auto& objects = document.at("qpdf").at(1);
    const auto trailer = objects.at("trailer").at("value");
    if (!trailer.contains("/Info")) {
        return std::nullopt;
    }
    const auto info = resolve(objects, trailer.at("/Info"));
    if (!info.contains("/Title")) {
        return std::nullopt;
    }
    // qpdf writes text strings as "u:..." and others as "b:<hex>".
    const auto title = resolve(objects, info.at("/Title")).get<std::string>();
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

} // namespace lumafold::test
