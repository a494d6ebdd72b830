// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/PdfRenderer.h"

#include "core/engine/PdfDocument.h"

#include <cassert>
#include <cmath>
#include <cstring>
#include <thread>

namespace lumafold {

namespace {

constexpr double largestSide = 16384;

} // namespace

struct PdfRenderer::Open
{
    // MuPDF reads the bytes lazily, so they live as long as the document.
    std::shared_ptr<const Bytes> bytes;
    std::optional<mupdf::Document> document;
    std::vector<PageSize> sizes;
    std::thread::id thread = std::this_thread::get_id();
};

std::optional<PdfRenderer> PdfRenderer::open(Bytes bytes)
{
    return open(std::make_shared<const Bytes>(std::move(bytes)));
}

std::optional<PdfRenderer> PdfRenderer::open(std::shared_ptr<const Bytes> bytes)
{
    if (!bytes) {
        return std::nullopt;
    }
    auto open = std::make_unique<Open>();
    open->bytes = std::move(bytes);
    try {
        open->document.emplace(mupdf::Document::openMemory(open->bytes->data(), open->bytes->size()));
        if (open->document->isLocked()) {
            return std::nullopt;
        }
        open->sizes = open->document->shownSizes();
    } catch (const mupdf::FzError&) {
        return std::nullopt;
    }
    return PdfRenderer(std::move(open));
}

PdfRenderer::PdfRenderer(std::unique_ptr<Open> open) : m_open(std::move(open)) {}
PdfRenderer::PdfRenderer(PdfRenderer&&) noexcept = default;
PdfRenderer& PdfRenderer::operator=(PdfRenderer&&) noexcept = default;

PdfRenderer::~PdfRenderer()
{
    assert(!m_open || m_open->thread == std::this_thread::get_id());
}

int PdfRenderer::pageCount() const
{
    return static_cast<int>(m_open->sizes.size());
}

const std::vector<PageSize>& PdfRenderer::pageSizes() const
{
    return m_open->sizes;
}

std::optional<Bitmap> PdfRenderer::render(int index, double scale) const
{
    assert(m_open->thread == std::this_thread::get_id());
    if (index < 0 || index >= pageCount() || !(scale > 0)) {
        return std::nullopt;
    }
    const PageSize size = m_open->sizes[static_cast<std::size_t>(index)];
    if (!(size.width * scale <= largestSide && size.height * scale <= largestSide)) {
        return std::nullopt;
    }
    try {
        const auto pixmap = mupdf::Pixmap::renderScaled(*m_open->document, index, static_cast<float>(scale));
        Bitmap bitmap{pixmap.width, pixmap.height, pixmap.width * 3, {}};
        bitmap.pixels.resize(static_cast<std::size_t>(bitmap.stride) * static_cast<std::size_t>(bitmap.height));
        for (int row = 0; row < bitmap.height; ++row) {
            std::memcpy(bitmap.pixels.data() + static_cast<std::size_t>(row) * bitmap.stride,
                        pixmap.samples + static_cast<std::size_t>(row) * pixmap.stride,
                        static_cast<std::size_t>(bitmap.stride));
        }
        return bitmap;
    } catch (const mupdf::FzError&) {
        return std::nullopt;
    }
}

} // namespace lumafold
