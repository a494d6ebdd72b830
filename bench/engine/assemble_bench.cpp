// SPDX-License-Identifier: AGPL-3.0-or-later
// Assembles pages of real PDFs and writes the verified result, as one process, so that its time
// and peak memory compare directly with `mutool merge` on the same input.
//   bench_assemble [--in-memory] OUT FILE:FIRST-LAST [FILE:FIRST-LAST ...]   (pages 1-based, inclusive)
// --in-memory: assemble() then write(), as the preview-then-save path does; otherwise
// assembleToFile(), as exports do.
#include "lumafold/LumafoldEngine.h"

#include <cstdio>
#include <exception>
#include <string>

using namespace lumafold;

int main(int argc, char** argv)
{
    const bool inMemory = argc > 1 && std::string(argv[1]) == "--in-memory";
    const int first = inMemory ? 2 : 1;
    if (argc < first + 2) {
        std::fprintf(stderr, "usage: %s [--in-memory] OUT FILE:FIRST-LAST...\n", argv[0]);
        return 2;
    }
    const std::filesystem::path out = argv[first];
    std::vector<PageDescriptor> pages;
    for (int i = first + 1; i < argc; ++i) {
        const std::string range = argv[i];
        const auto colon = range.rfind(':');
        const auto dash = range.rfind('-');
        const auto file = range.substr(0, colon);
        const long from = std::stol(range.substr(colon + 1, dash - colon - 1));
        const long to = std::stol(range.substr(dash + 1));
        for (long page = from; page <= to; ++page) {
            pages.emplace_back(PageContent::source(file, page - 1), 0);
        }
    }
    try {
        if (inMemory) {
            LumafoldEngine::write(LumafoldEngine::assemble(pages, false), out);
        } else {
            LumafoldEngine::assembleToFile(pages, false, out);
        }
        std::printf("%zu pages, %ju bytes\n", pages.size(),
                    static_cast<std::uintmax_t>(std::filesystem::file_size(out)));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
