// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/update/Updater.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

// A short current version, then the manifest body. An accepted manifest must announce an https
// download and a newer version.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    const std::string current = provider.ConsumeRandomLengthString(16);
    const std::string body = provider.ConsumeRemainingBytesAsString();
    const auto update = lumafold::Updater::parseManifest(body, current);
    if (update && (!update->downloadURL.starts_with("https://") || update->downloadURL.size() <= 8 ||
                   !lumafold::Updater::isNewer(update->version, current))) {
        std::abort();
    }
    return 0;
}
