// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/JpegEncoder.h"

#include <turbojpeg.h>

namespace lumafold::JpegEncoder {

namespace {
struct Compressor
{
    tjhandle handle = tjInitCompress();
    ~Compressor() { tjDestroy(handle); }
};
} // namespace

std::optional<Bytes> encodeRgb(const unsigned char* pixels, int width, int height, int stride, int quality)
{
    thread_local Compressor compressor;
    if (!compressor.handle || !pixels || width < 1 || height < 1) {
        return std::nullopt;
    }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(compressor.handle, pixels, width, stride, height, TJPF_RGB, &jpeg, &size, TJSAMP_420, quality, 0) !=
        0) {
        tjFree(jpeg);
        return std::nullopt;
    }
    Bytes bytes(jpeg, jpeg + size);
    tjFree(jpeg);
    return bytes;
}

} // namespace lumafold::JpegEncoder
