// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/LumafoldEngine.h"
#include "support/PdfFactory.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace lumafold::test {

inline PageDescriptor sourcePage(const std::filesystem::path& url, std::int64_t index, std::int64_t rotation = 0)
{
    return PageDescriptor(PageContent::source(url, index), rotation);
}

inline PageDescriptor blankPage(PageSize size)
{
    return PageDescriptor(PageContent::blank(size), 0);
}

// Pages whose widths (100, 110, 120, ...) tell them apart in any output.
inline std::filesystem::path writeNumberedPdf(const std::filesystem::path& path, int count)
{
    PdfLayout layout;
    for (int i = 0; i < count; ++i) {
        layout.pages.push_back(PageLayout{.width = 100.0 + 10 * i, .height = 500, .label = std::to_string(i + 1)});
    }
    return writePdf(path, layout);
}

inline std::filesystem::path writeResult(const TempDir& dir, const PagesResult& result, const std::string& name)
{
    return LumafoldEngine::write(result, dir / name);
}

// The error an operation throws, for comparing whole error values.
template <typename Operation> LumafoldError engineError(Operation&& operation)
{
    try {
        operation();
    } catch (const LumafoldError& error) {
        return error;
    }
    ADD_FAILURE() << "expected a LumafoldError";
    return LumafoldError::cannotWrite();
}

} // namespace lumafold::test
