// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/LumafoldEngine.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

// The input's last eight bytes are the maximum (any value, as a caller might pass), the rest
// the text. Besides crashes, it checks what every caller relies on.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    const auto maximum = provider.ConsumeIntegral<std::int64_t>();
    const std::string text = provider.ConsumeRemainingBytesAsString();
    try {
        const auto positions = lumafold::LumafoldEngine::parsePageRange(text, maximum);
        auto sorted = positions;
        std::sort(sorted.begin(), sorted.end());
        if (!sorted.empty() && (sorted.front() < 0 || sorted.back() >= maximum ||
                                std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())) {
            std::abort();
        }
        if (lumafold::LumafoldEngine::parsePageRange(text, maximum) != positions) {
            std::abort();
        }
    } catch (const lumafold::LumafoldError& error) {
        if (error.kind() != lumafold::LumafoldError::Kind::invalidRange || error.text() != text) {
            std::abort();
        }
    }
    return 0;
}
