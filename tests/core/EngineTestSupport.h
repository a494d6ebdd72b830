// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/LumafoldEngine.h"
#include "support/PageWidths.h"
#include "support/PdfFactory.h"
#include "support/PdfInspector.h"
#include "support/Qpdf.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace lumafold::test {

inline PageDescriptor sourcePage(const std::filesystem::path& path, std::int64_t index, std::int64_t rotation = 0)
{
    return PageDescriptor(PageContent::source(path, index), rotation);
}

inline PageDescriptor blankPage(PageSize size, std::int64_t rotation = 0)
{
    return PageDescriptor(PageContent::blank(size), rotation);
}

// Assembles `pages` into a new file in `dir`, to be read back.
inline std::filesystem::path exported(const TempDir& dir, const std::vector<PageDescriptor>& pages,
                                      bool removeMetadata = false)
{
    static int serial = 0;
    const auto name = "exported-" + std::to_string(++serial) + ".pdf";
    return LumafoldEngine::write(LumafoldEngine::assemble(pages, removeMetadata), dir / name);
}

// `exported`, read back: it must pass qpdf's check and hold no page objects outside its page tree.
inline PdfInspector checkedExport(const TempDir& dir, const std::vector<PageDescriptor>& pages)
{
    const auto out = exported(dir, pages);
    EXPECT_TRUE(qpdf::checkPasses(out));
    PdfInspector pdf(out);
    EXPECT_EQ(pdf.pageObjectCount(), pdf.pageCount());
    return pdf;
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
