// SPDX-License-Identifier: AGPL-3.0-or-later
// Feeds mutated PDF bytes to inspection, thumbnails and assembly (annotation and form copying
// included). Any input must end in a value or a LumafoldError, never a crash or a hang.
#include "lumafold/LumafoldEngine.h"

#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

using namespace lumafold;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An in-memory file with a path, so the engine opens it like any other.
    const int fd = memfd_create("fuzz.pdf", MFD_CLOEXEC);
    if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) {
        if (fd >= 0) {
            close(fd);
        }
        return 0;
    }
    const std::filesystem::path path = "/proc/self/fd/" + std::to_string(fd);
    try {
        const auto info = LumafoldEngine::inspect(path);
        const auto pages = std::min<std::int64_t>(info.pageCount, 3);
        std::vector<PageDescriptor> descriptors;
        for (std::int64_t i = 0; i < pages; ++i) {
            descriptors.emplace_back(PageContent::source(path, i), 90 * i);
        }
        LumafoldEngine::thumbnailsData(descriptors, 64);
        LumafoldEngine::assemble(descriptors, (size & 1) != 0);
    } catch (const LumafoldError&) {
    }
    close(fd);
    return 0;
}
