// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/PageModel.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace lumafold {

// Opaque RGB pixels, three bytes a pixel, rows of `stride` bytes.
struct Bitmap
{
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<std::uint8_t> pixels;
};

// A PDF held in memory, opened for drawing its pages. It belongs to the thread that opened it
// (which draws with its own MuPDF context): call it and destroy it on that thread only.
class PdfRenderer
{
public:
    // Nothing when the bytes are not a PDF that can be read, or need a password. The shared
    // form reads the caller's bytes in place, keeping them alive as long as the document.
    static std::optional<PdfRenderer> open(std::shared_ptr<const Bytes> bytes);
    static std::optional<PdfRenderer> open(Bytes bytes);

    PdfRenderer(PdfRenderer&&) noexcept;
    PdfRenderer& operator=(PdfRenderer&&) noexcept;
    ~PdfRenderer();

    int pageCount() const;
    // Each page's size in points as it is drawn: its visible box, turned by its rotation.
    const std::vector<PageSize>& pageSizes() const;
    // Page `index` at `scale` pixels per point, on white; nothing when it cannot be drawn
    // or would be larger than 16384 pixels a side.
    std::optional<Bitmap> render(int index, double scale) const;

private:
    struct Open;
    explicit PdfRenderer(std::unique_ptr<Open> open);
    std::unique_ptr<Open> m_open;
};

} // namespace lumafold
