// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lumafold::test {

// A PDF whose pages have these widths, so that the order of pages can be read back.
std::filesystem::path writeWidthsPdf(const std::filesystem::path& path, const std::vector<double>& widths,
                                     std::optional<std::string> title = std::nullopt);

// The widths of the pages of a PDF, read with qpdf independently of the engine; boxes inherited
// from the page tree count.
std::vector<double> pageWidths(const std::filesystem::path& pdf);

} // namespace lumafold::test
