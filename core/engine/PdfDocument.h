// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/PageModel.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <vector>

struct fz_pixmap;
struct pdf_document;
struct lf_output;

// C++ face of MuPDF for the engine. Every object belongs to the thread that made it and uses
// that thread's context; none may be handed to another thread. Failures throw FzError; a stop
// requested while a whole document is walked throws Cancelled.
namespace lumafold::mupdf {

class FzError : public std::runtime_error
{
public:
    FzError(int code, const std::string& message) : std::runtime_error(message), m_code(code) {}
    int code() const { return m_code; }

    // Not one of MuPDF's codes: the file could not be opened because the process or the system
    // has too many files open, which says nothing about the file.
    static constexpr int tooManyOpenFiles = -2;

private:
    int m_code;
};

// The file being written refused the bytes (a full disk, a size limit). Not an FzError, which
// stands for a document MuPDF could not handle.
class WriteFailed : public std::runtime_error
{
public:
    explicit WriteFailed(int error) : std::runtime_error("cannot write"), m_error(error) {}
    // The errno of the failed write.
    int error() const { return m_error; }

private:
    int m_error;
};

class Document
{
public:
    // Throws FzError when the path is not a regular file or not a PDF that MuPDF can parse or repair.
    static Document openFile(const std::filesystem::path& path);
    static Document openMemory(const std::uint8_t* data, std::size_t size);

    Document(Document&& other) noexcept;
    Document& operator=(Document&& other) noexcept;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    ~Document();

    bool isLocked() const;
    // Throws for a damaged file without pages, and for a page count made up by reaching pages twice.
    int pageCount(std::stop_token stop = {}) const;
    // Every page's media box size before rotation; 0 by 0 for a page that cannot be found.
    std::vector<PageSize> mediaSizes() const;
    // Every page's size as drawn (visible box, turned by its rotation), without loading pages.
    std::vector<PageSize> shownSizes() const;
    std::optional<std::string> title() const;

    pdf_document* raw() const { return m_doc; }

private:
    explicit Document(pdf_document* doc) : m_doc(doc) {}
    std::vector<PageSize> pageSizes(bool asShown) const;
    pdf_document* m_doc = nullptr;
};

// Opaque RGB pixels, rows of `stride` bytes.
class Pixmap
{
public:
    static Pixmap render(const Document& document, int index, int extraRotation, float maxSide);
    // At `scale` pixels per point, turned only by the page's own rotation.
    static Pixmap renderScaled(const Document& document, int index, float scale);
    Pixmap(Pixmap&& other) noexcept;
    Pixmap(const Pixmap&) = delete;
    Pixmap& operator=(const Pixmap&) = delete;
    Pixmap& operator=(Pixmap&&) = delete;
    ~Pixmap();

    int width = 0;
    int height = 0;
    int stride = 0;
    const unsigned char* samples = nullptr;

private:
    explicit Pixmap(fz_pixmap* pixmap);
    fz_pixmap* m_pixmap = nullptr;
};

// Bytes owned by MuPDF's allocator.
class RawBuffer
{
public:
    RawBuffer() = default;
    RawBuffer(unsigned char* data, std::size_t size) : m_data(data), m_size(size) {}
    RawBuffer(RawBuffer&& other) noexcept;
    RawBuffer& operator=(RawBuffer&& other) noexcept;
    RawBuffer(const RawBuffer&) = delete;
    RawBuffer& operator=(const RawBuffer&) = delete;
    ~RawBuffer();

    Bytes toBytes() const { return Bytes(m_data, m_data + m_size); }
    std::size_t size() const { return m_size; }

private:
    unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
};

// A new PDF put together from pages of open documents. A document must stay open until its
// source slot is completed (or the output dropped).
class OutputDocument
{
public:
    OutputDocument();
    OutputDocument(const OutputDocument&) = delete;
    OutputDocument& operator=(const OutputDocument&) = delete;
    ~OutputDocument();

    struct Source
    {
        int slot;
        int pageCount; // as Document::pageCount counts, from the one walk that collects the pages
    };
    Source addSource(const Document& source, std::stop_token stop = {});
    void appendPage(int sourceSlot, int index, int extraRotation);
    void appendBlank(PageSize size, int rotation);
    // Once the last page of a source has been placed: copies the annotations, form fields and
    // bookmarks of its pages (and its document information when takeInfo) and lets go of it, so that the
    // document may be closed. The slot is let go of even when this throws.
    void completeSource(int sourceSlot, bool takeInfo);
    // Completes the sources still held and builds the page tree, the form and the outline.
    void finish();
    RawBuffer save();
    // Throws WriteFailed when the file refuses the bytes, FzError for any other failure.
    void saveTo(int fd);

private:
    lf_output* m_out = nullptr;
};

} // namespace lumafold::mupdf
