// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/PageModel.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

namespace lumafold {

const PageSize PageSize::a4{595.28, 841.89};
const PageSize PageSize::letter{612.0, 792.0};

std::string PageSize::toJson() const
{
    return nlohmann::json{{"width", width}, {"height", height}}.dump();
}

PageSize PageSize::fromJson(const std::string& json)
{
    const auto value = nlohmann::json::parse(json, nullptr, false);
    if (!value.is_object() || !value.contains("width") || !value.contains("height") || !value["width"].is_number() ||
        !value["height"].is_number()) {
        throw std::invalid_argument("A page size needs the numbers \"width\" and \"height\".");
    }
    return PageSize{value["width"].get<double>(), value["height"].get<double>()};
}

PageContent PageContent::source(std::filesystem::path path, std::int64_t index)
{
    return PageContent(SourcePage{std::move(path), index});
}

PageContent PageContent::blank(PageSize size)
{
    return PageContent(size);
}

PageDescriptor::PageDescriptor(PageContent content, std::int64_t rotation)
    : content(std::move(content)), rotation(normalized(rotation))
{}

std::int64_t PageDescriptor::normalized(std::int64_t angle)
{
    const std::int64_t r = angle % 360; // C++ truncates toward zero
    return r < 0 ? r + 360 : r;
}

} // namespace lumafold

namespace {
std::size_t combine(std::size_t seed, std::size_t value)
{
    return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}
} // namespace

std::size_t std::hash<lumafold::PageSize>::operator()(const lumafold::PageSize& size) const noexcept
{
    return combine(std::hash<double>{}(size.width), std::hash<double>{}(size.height));
}

std::size_t std::hash<lumafold::PageContent>::operator()(const lumafold::PageContent& content) const noexcept
{
    if (content.isBlank()) {
        return combine(1, std::hash<lumafold::PageSize>{}(content.blankSize()));
    }
    const auto& page = content.sourcePage();
    return combine(combine(2, std::filesystem::hash_value(page.path)), std::hash<std::int64_t>{}(page.index));
}

std::size_t std::hash<lumafold::PageDescriptor>::operator()(const lumafold::PageDescriptor& descriptor) const noexcept
{
    return combine(std::hash<lumafold::PageContent>{}(descriptor.content),
                   std::hash<std::int64_t>{}(descriptor.rotation));
}
