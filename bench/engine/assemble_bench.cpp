// SPDX-License-Identifier: AGPL-3.0-or-later
// Assembles pages of real PDFs and writes the verified result, as one process, so that its time
// and peak memory compare directly with `mutool merge` on the same input.
//   bench_assemble OUT FILE:FIRST-LAST [FILE:FIRST-LAST ...]   (pages 1-based, inclusive)
#include "core/LumafoldEngine.h"

#include <cstdio>
#include <exception>
#include <string>

using namespace lumafold;

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUT FILE:FIRST-LAST...\n", argv[0]);
        return 2;
    }
    std::vector<PageDescriptor> pages;
    for (int i = 2; i < argc; ++i) {
        const std::string spec = argv[i];
        const auto colon = spec.rfind(':');
        const auto dash = spec.rfind('-');
        const auto file = spec.substr(0, colon);
        const long first = std::stol(spec.substr(colon + 1, dash - colon - 1));
        const long last = std::stol(spec.substr(dash + 1));
        for (long page = first; page <= last; ++page) {
            pages.emplace_back(PageContent::source(file, page - 1), 0);
        }
    }
    try {
        const auto result = LumafoldEngine::assemble(pages, false);
        LumafoldEngine::write(result, argv[1]);
        std::printf("%lld pages, %lld bytes\n", static_cast<long long>(result.pageCount),
                    static_cast<long long>(result.bytes()));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
