// SPDX-License-Identifier: AGPL-3.0-or-later
#include "support/PageWidths.h"

#include "support/PdfFactory.h"
#include "support/PdfInspector.h"

namespace lumafold::test {

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

} // namespace lumafold::test
