// SPDX-License-Identifier: AGPL-3.0-or-later
// Renders card pictures (360 px, JPEG quality 82) of pages FIRST..LAST of a PDF into OUTDIR on
// THREADS threads, each thread opening the file once, as the workspace does.
//   bench_thumbnails FILE FIRST LAST OUTDIR [THREADS]
#include "core/LumafoldEngine.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

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
    const long total = last - first + 1;

    std::vector<std::thread> workers;
    std::vector<int> failures(static_cast<std::size_t>(threads));
    for (long worker = 0; worker < threads; ++worker) {
        workers.emplace_back([&, worker] {
            // One contiguous run of pages per worker.
            const long begin = first + total * worker / threads;
            const long end = first + total * (worker + 1) / threads;
            std::vector<PageDescriptor> pages;
            for (long page = begin; page < end; ++page) {
                pages.emplace_back(PageContent::source(file, page - 1), 0);
            }
            const auto pictures = LumafoldEngine::thumbnailsData(pages, 360);
            for (std::size_t i = 0; i < pictures.size(); ++i) {
                if (!pictures[i]) {
                    ++failures[static_cast<std::size_t>(worker)];
                    continue;
                }
                std::ofstream out(folder / ("page-" + std::to_string(begin + static_cast<long>(i)) + ".jpg"),
                                  std::ios::binary);
                out.write(reinterpret_cast<const char*>(pictures[i]->data()),
                          static_cast<std::streamsize>(pictures[i]->size()));
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    int failed = 0;
    for (int f : failures) {
        failed += f;
    }
    std::printf("%ld pictures, %d failed\n", total, failed);
    return failed ? 1 : 0;
}
