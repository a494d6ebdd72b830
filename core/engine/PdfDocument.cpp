// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/engine/PdfDocument.h"

#include "core/engine/FzContext.h"
#include "core/engine/PdfShim.h"
#include "lumafold/LumafoldError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace lumafold::mupdf {

namespace {

constexpr int notARegularFile = -1;

[[noreturn]] void fail(const lf_error& error)
{
    if (error.code == LF_ERROR_CANCELLED) {
        throw Cancelled();
    }
    throw FzError(error.code, error.message);
}

int stopRequested(void* token) noexcept
{
    return static_cast<const std::stop_token*>(token)->stop_requested() ? 1 : 0;
}

// Valid while `stop` lives.
lf_cancel cancelOn(const std::stop_token& stop)
{
    return lf_cancel{stop.stop_possible() ? stopRequested : nullptr, const_cast<std::stop_token*>(&stop)};
}

void check(int failed, const lf_error& error)
{
    if (failed) {
        fail(error);
    }
}

} // namespace

Document Document::openFile(const std::filesystem::path& path)
{
    // MuPDF would block forever on a FIFO and fail oddly on a folder; only plain files are PDFs.
    struct stat info
    {
    };
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        throw FzError(notARegularFile, "not a regular file");
    }
    lf_error error{};
    pdf_document* doc = nullptr;
    if (lf_open_file(threadContext(), path.c_str(), &doc, &error)) {
        // MuPDF reports every failure alike; trying once more tells the open-file limit apart.
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 && (errno == EMFILE || errno == ENFILE)) {
            throw FzError(FzError::tooManyOpenFiles, "too many open files");
        }
        if (fd >= 0) {
            close(fd);
        }
        fail(error);
    }
    return Document(doc);
}

Document Document::openMemory(const std::uint8_t* data, std::size_t size)
{
    lf_error error{};
    pdf_document* doc = nullptr;
    check(lf_open_memory(threadContext(), data, size, &doc, &error), error);
    return Document(doc);
}

Document::Document(Document&& other) noexcept : m_doc(std::exchange(other.m_doc, nullptr)) {}

Document& Document::operator=(Document&& other) noexcept
{
    if (this != &other) {
        lf_drop_document(threadContext(), m_doc);
        m_doc = std::exchange(other.m_doc, nullptr);
    }
    return *this;
}

Document::~Document()
{
    if (m_doc) {
        lf_drop_document(threadContext(), m_doc);
    }
}

bool Document::isLocked() const
{
    lf_error error{};
    int locked = 0;
    check(lf_is_locked(threadContext(), m_doc, &locked, &error), error);
    return locked != 0;
}

int Document::pageCount(std::stop_token stop) const
{
    lf_error error{};
    int count = 0;
    const auto cancel = cancelOn(stop);
    check(lf_count_pages(threadContext(), m_doc, &cancel, &count, &error), error);
    return count;
}

std::vector<PageSize> Document::mediaSizes() const
{
    return pageSizes(false);
}

std::vector<PageSize> Document::shownSizes() const
{
    return pageSizes(true);
}

std::vector<PageSize> Document::pageSizes(bool asShown) const
{
    const int count = pageCount();
    std::vector<float> sizes(static_cast<std::size_t>(count) * 2);
    lf_error error{};
    check(lf_page_sizes(threadContext(), m_doc, count, asShown ? 1 : 0, sizes.data(), &error), error);
    std::vector<PageSize> pages;
    pages.reserve(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < sizes.size(); i += 2) {
        pages.push_back(PageSize{sizes[i], sizes[i + 1]});
    }
    return pages;
}

std::optional<std::string> Document::title() const
{
    lf_error error{};
    char* title = nullptr;
    check(lf_title(threadContext(), m_doc, &title, &error), error);
    if (!title) {
        return std::nullopt;
    }
    std::string text(title);
    free(title);
    return text;
}

Pixmap Pixmap::render(const Document& document, int index, int extraRotation, float maxSide)
{
    lf_error error{};
    fz_pixmap* pixmap = nullptr;
    check(lf_render_page(threadContext(), document.raw(), index, extraRotation, maxSide, &pixmap, &error), error);
    return Pixmap(pixmap);
}

Pixmap Pixmap::renderScaled(const Document& document, int index, float scale)
{
    lf_error error{};
    fz_pixmap* pixmap = nullptr;
    check(lf_render_page_scaled(threadContext(), document.raw(), index, scale, &pixmap, &error), error);
    return Pixmap(pixmap);
}

Pixmap::Pixmap(fz_pixmap* pixmap) : m_pixmap(pixmap)
{
    unsigned char* data = nullptr;
    lf_pixmap_samples(threadContext(), pixmap, &width, &height, &stride, &data);
    samples = data;
}

Pixmap::Pixmap(Pixmap&& other) noexcept
    : width(other.width), height(other.height), stride(other.stride), samples(other.samples),
      m_pixmap(std::exchange(other.m_pixmap, nullptr))
{}

Pixmap::~Pixmap()
{
    if (m_pixmap) {
        lf_drop_pixmap(threadContext(), m_pixmap);
    }
}

OutputDocument::OutputDocument()
{
    lf_error error{};
    check(lf_output_new(threadContext(), &m_out, &error), error);
}

OutputDocument::~OutputDocument()
{
    lf_output_drop(threadContext(), m_out);
}

OutputDocument::Source OutputDocument::addSource(const Document& source, std::stop_token stop)
{
    lf_error error{};
    Source added{-1, 0};
    const auto cancel = cancelOn(stop);
    check(lf_output_add_source(threadContext(), m_out, source.raw(), &cancel, &added.slot, &added.pageCount, &error),
          error);
    return added;
}

void OutputDocument::appendPage(int sourceSlot, int index, int extraRotation)
{
    lf_error error{};
    check(lf_output_append_page(threadContext(), m_out, sourceSlot, index, extraRotation, &error), error);
}

void OutputDocument::appendBlank(PageSize size, int rotation)
{
    lf_error error{};
    check(lf_output_append_blank(threadContext(), m_out, static_cast<float>(size.width),
                                 static_cast<float>(size.height), rotation, &error),
          error);
}

void OutputDocument::completeSource(int sourceSlot, bool takeInfo)
{
    lf_error error{};
    check(lf_output_complete_source(threadContext(), m_out, sourceSlot, takeInfo ? 1 : 0, &error), error);
}

void OutputDocument::finish()
{
    lf_error error{};
    check(lf_output_finish(threadContext(), m_out, &error), error);
}

RawBuffer OutputDocument::save()
{
    lf_error error{};
    unsigned char* data = nullptr;
    std::size_t size = 0;
    check(lf_output_save(threadContext(), m_out, &data, &size, &error), error);
    return RawBuffer(data, size);
}

void OutputDocument::saveTo(int fd)
{
    lf_error error{};
    int writeError = 0;
    if (lf_output_save_to_fd(threadContext(), m_out, fd, &writeError, &error)) {
        if (writeError != 0) {
            throw WriteFailed(writeError);
        }
        fail(error);
    }
}

RawBuffer::RawBuffer(RawBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0))
{}

RawBuffer& RawBuffer::operator=(RawBuffer&& other) noexcept
{
    if (this != &other) {
        lf_free(threadContext(), m_data);
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

RawBuffer::~RawBuffer()
{
    if (m_data) {
        lf_free(threadContext(), m_data);
    }
}

} // namespace lumafold::mupdf
