// SPDX-License-Identifier: AGPL-3.0-or-later
// Everything the tests read PDFs with, independently of the engine: qpdf, and libjpeg-turbo for
// the engine's pictures.
#include "support/PdfInspector.h"

#include "support/PageWidths.h"
#include "support/PdfFactory.h"
#include "support/Qpdf.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <memory>
#include <regex>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>

extern char** environ;

namespace lumafold::test {

ProcessResult runProcess(const std::vector<std::string>& argv)
{
    // Both streams go to files, so a program that fills one cannot block on it.
    const TempDir dir;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (dir / "out").c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (dir / "err").c_str(), O_WRONLY | O_CREAT, 0600);
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    const bool ran =
        posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0 && waitpid(pid, &status, 0) == pid;
    posix_spawn_file_actions_destroy(&actions);
    if (!ran) {
        throw std::runtime_error("cannot start " + argv[0]);
    }
    const auto out = readFile(dir / "out"), err = readFile(dir / "err");
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, {out.begin(), out.end()}, {err.begin(), err.end()}};
}

bool qpdf::checkPasses(const std::filesystem::path& pdf)
{
    // Exit 0: no errors, no warnings.
    return runProcess({QPDF_EXECUTABLE, "--check", pdf.string()}).exitCode == 0;
}

void qpdf::encrypt(const std::filesystem::path& in, const std::filesystem::path& out, const std::string& userPassword,
                   const std::string& ownerPassword)
{
    const auto result =
        runProcess({QPDF_EXECUTABLE, "--encrypt", userPassword, ownerPassword, "256", "--", in.string(), out.string()});
    if (result.exitCode != 0) {
        throw std::runtime_error("qpdf --encrypt failed: " + result.errors);
    }
}

PdfInspector::PdfInspector(const std::filesystem::path& pdf)
{
    const auto result = runProcess({QPDF_EXECUTABLE, "--json=2", pdf.string()});
    if (result.exitCode != 0 && result.exitCode != 3) { // 3: warnings only
        throw std::runtime_error("qpdf --json failed: " + result.errors);
    }
    m_json = nlohmann::json::parse(result.output);
    for (const auto& page : m_json.at("pages")) {
        m_pages.push_back(page.at("object").get<std::string>());
    }
}

nlohmann::json PdfInspector::object(const std::string& ref) const
{
    const auto& entry = m_json.at("qpdf").at(1).at("obj:" + ref);
    return entry.contains("stream") ? entry["stream"]["dict"] : entry.at("value");
}

nlohmann::json PdfInspector::resolve(const nlohmann::json& value) const
{
    static const std::regex reference(R"(\d+ \d+ R)");
    if (value.is_string() && std::regex_match(value.get<std::string>(), reference)) {
        return object(value.get<std::string>());
    }
    return value;
}

std::vector<nlohmann::json> PdfInspector::annotations(int index) const
{
    std::vector<nlohmann::json> annots;
    for (const auto& annot : resolve(page(index).value("/Annots", nlohmann::json::array()))) {
        annots.push_back(resolve(annot));
    }
    return annots;
}

int PdfInspector::pageObjectCount() const
{
    int count = 0;
    for (const auto& [key, entry] : m_json.at("qpdf").at(1).items()) {
        if (entry.contains("value") && entry["value"].is_object() && entry["value"].value("/Type", "") == "/Page") {
            ++count;
        }
    }
    return count;
}

std::filesystem::path writeWidthsPdf(const std::filesystem::path& path, const std::vector<double>& widths,
                                     std::optional<std::string> title)
{
    PdfLayout layout{.title = std::move(title)};
    for (const double width : widths) {
        layout.pages.push_back({.width = width, .label = "Width " + std::to_string(static_cast<int>(width))});
    }
    return writePdf(path, layout);
}

std::vector<double> pageWidths(const std::filesystem::path& pdf)
{
    const PdfInspector inspector(pdf);
    std::vector<double> widths;
    for (int i = 0; i < inspector.pageCount(); ++i) {
        auto node = inspector.page(i);
        while (!node.contains("/MediaBox")) {
            node = inspector.resolve(node.at("/Parent"));
        }
        const auto box = inspector.resolve(node.at("/MediaBox"));
        widths.push_back(inspector.resolve(box.at(2)).get<double>() - inspector.resolve(box.at(0)).get<double>());
    }
    return widths;
}

DecodedJpeg decodeJpeg(const std::vector<unsigned char>& jpeg)
{
    const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
    DecodedJpeg image;
    int subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(handle.get(), jpeg.data(), jpeg.size(), &image.width, &image.height, &subsampling,
                            &colourspace) != 0) {
        throw std::runtime_error("not a JPEG");
    }
    image.rgb.resize(static_cast<size_t>(image.width * image.height * 3));
    if (tjDecompress2(handle.get(), jpeg.data(), jpeg.size(), image.rgb.data(), image.width, 0, image.height, TJPF_RGB,
                      0) != 0) {
        throw std::runtime_error("cannot decode JPEG");
    }
    return image;
}

} // namespace lumafold::test
