// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/LumafoldEngine.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

// Every position within 0...maximum-1 and none twice. Results can hold millions of positions,
// so they are checked as runs of consecutive values rather than sorted one by one.
bool isValidSelection(const std::vector<std::int64_t>& positions, std::int64_t maximum)
{
    std::vector<std::pair<std::int64_t, std::int64_t>> runs;
    for (const auto position : positions) {
        if (position < 0 || position >= maximum) {
            return false;
        }
        if (!runs.empty() && runs.back().second != maximum - 1 && position == runs.back().second + 1) {
            runs.back().second = position;
        } else {
            runs.emplace_back(position, position);
        }
    }
    std::sort(runs.begin(), runs.end());
    for (std::size_t i = 1; i < runs.size(); ++i) {
        if (runs[i].first <= runs[i - 1].second) {
            return false;
        }
    }
    return true;
}

} // namespace

// The input's last eight bytes are the maximum (any value, as a caller might pass), the rest
// the text. Besides crashes, it checks what every caller relies on.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    const auto maximum = provider.ConsumeIntegral<std::int64_t>();
    const std::string text = provider.ConsumeRemainingBytesAsString();
    try {
        if (!isValidSelection(lumafold::LumafoldEngine::parsePageRange(text, maximum), maximum)) {
            std::abort();
        }
    } catch (const lumafold::LumafoldError& error) {
        if (error.kind() != lumafold::LumafoldError::Kind::invalidRange || error.text() != text) {
            std::abort();
        }
    }
    return 0;
}
