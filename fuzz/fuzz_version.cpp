// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/update/Updater.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

// Three versions from one input; the comparison must be a strict order on whatever it accepts.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    const std::string a = provider.ConsumeRandomLengthString(64);
    const std::string b = provider.ConsumeRandomLengthString(64);
    const std::string c = provider.ConsumeRemainingBytesAsString();
    using lumafold::Updater::isNewer;
    const bool ab = isNewer(a, b);
    const bool ba = isNewer(b, a);
    const bool bc = isNewer(b, c);
    const bool ac = isNewer(a, c);
    if (isNewer(a, a) || (ab && ba) || (ab && bc && !ac)) {
        std::abort();
    }
    return 0;
}
