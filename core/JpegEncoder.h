// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "core/PageModel.h"

#include <optional>

namespace lumafold::JpegEncoder {

inline constexpr int thumbnailQuality = 82;

// Encodes packed RGB rows (`stride` bytes apart) as JPEG. Thread-safe.
std::optional<Bytes> encodeRgb(const unsigned char* pixels, int width, int height, int stride,
                               int quality = thumbnailQuality);

} // namespace lumafold::JpegEncoder
