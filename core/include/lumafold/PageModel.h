// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace lumafold {

using Bytes = std::vector<std::uint8_t>;

// Size of a page in PDF points (1/72 inch).
struct PageSize
{
    double width = 0;
    double height = 0;

    static const PageSize a4;
    static const PageSize letter;

    bool operator==(const PageSize&) const = default;

    // JSON with exactly the keys "width" and "height"; fromJson throws std::invalid_argument
    // when either is missing or not a number.
    std::string toJson() const;
    static PageSize fromJson(const std::string& json);
};

struct SourcePage
{
    std::filesystem::path path;
    std::int64_t index = 0;
    bool operator==(const SourcePage&) const = default;
};

// What a page shows: page `index` of a PDF on disk, or a new white page of a size.
class PageContent
{
public:
    static PageContent source(std::filesystem::path path, std::int64_t index);
    static PageContent blank(PageSize size);

    bool isSource() const { return std::holds_alternative<SourcePage>(m_value); }
    bool isBlank() const { return std::holds_alternative<PageSize>(m_value); }
    // Precondition: the matching case.
    const SourcePage& sourcePage() const { return std::get<SourcePage>(m_value); }
    const PageSize& blankSize() const { return std::get<PageSize>(m_value); }

    bool operator==(const PageContent&) const = default;

private:
    explicit PageContent(std::variant<SourcePage, PageSize> value) : m_value(std::move(value)) {}
    std::variant<SourcePage, PageSize> m_value;
};

// One page of a document being put together: which page, and an extra clockwise turn in degrees.
struct PageDescriptor
{
    PageContent content;
    std::int64_t rotation = 0;

    // Stores the rotation normalised into 0...359.
    PageDescriptor(PageContent content, std::int64_t rotation);

    static std::int64_t normalized(std::int64_t angle);

    bool operator==(const PageDescriptor&) const = default;
};

struct PDFDocumentInfo
{
    std::int64_t pageCount = 0;
    std::int64_t bytes = 0;
    std::optional<std::string> title;
    std::vector<PageSize> pageSizes;

    bool operator==(const PDFDocumentInfo&) const = default;
};

// A finished, verified PDF held in memory.
struct PagesResult
{
    Bytes data;
    std::int64_t pageCount = 0;
    std::int64_t sourceCount = 0;

    std::int64_t bytes() const { return static_cast<std::int64_t>(data.size()); }
    bool operator==(const PagesResult&) const = default;
};

} // namespace lumafold

template <> struct std::hash<lumafold::PageSize>
{
    std::size_t operator()(const lumafold::PageSize& size) const noexcept;
};

template <> struct std::hash<lumafold::PageContent>
{
    std::size_t operator()(const lumafold::PageContent& content) const noexcept;
};

template <> struct std::hash<lumafold::PageDescriptor>
{
    std::size_t operator()(const lumafold::PageDescriptor& descriptor) const noexcept;
};
