// SPDX-License-Identifier: AGPL-3.0-or-later
// Renders card pictures (360 px, JPEG quality 82) of pages FIRST..LAST of a PDF into OUTDIR on
// THREADS threads, each opening the file once, as the workspace does.
//   bench_thumbnails FILE FIRST LAST OUTDIR [THREADS]
// OUTDIR "-" keeps the pictures in memory, to measure drawing alone.
#include "lumafold/LumafoldEngine.h"

#include <cstdio>
#include <fstream>
#include <string>

using namespace lumafold;

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s FILE FIRST LAST OUTDIR [THREADS]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path file = argv[1];
    const long first = std::stol(argv[2]);
    const long last = std::stol(argv[3]);
    const std::filesystem::path folder = argv[4];
    const long threads = argc > 5 ? std::stol(argv[5]) : 1;

    std::vector<PageDescriptor> pages;
    for (long page = first; page <= last; ++page) {
        pages.emplace_back(PageContent::source(file, page - 1), 0);
    }
    const auto pictures = LumafoldEngine::thumbnailsData(pages, 360, static_cast<unsigned>(threads));
    int failed = 0;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        if (!pictures[i]) {
            ++failed;
            continue;
        }
        if (folder == "-") {
            continue;
        }
        std::ofstream out(folder / ("page-" + std::to_string(first + static_cast<long>(i)) + ".jpg"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(pictures[i]->data()),
                  static_cast<std::streamsize>(pictures[i]->size()));
    }
    std::printf("%zu pictures, %d failed\n", pictures.size(), failed);
    return failed ? 1 : 0;
}
