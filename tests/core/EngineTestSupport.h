// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/LumafoldEngine.h"
#include "support/PageWidths.h"
#include "support/PdfFactory.h"
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
