// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/LumafoldEngine.h"
#include "lumafold/PageModel.h"

#include <optional>

namespace lumafold::JpegEncoder {

// Encodes packed RGB rows (`stride` bytes apart) as JPEG. Thread-safe.
std::optional<Bytes> encodeRgb(const unsigned char* pixels, int width, int height, int stride,
                               int quality = LumafoldEngine::thumbnailQuality);

} // namespace lumafold::JpegEncoder
