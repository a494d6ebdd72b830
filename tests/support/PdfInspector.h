// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <array>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace lumafold::test {

// Reads a PDF's object graph through `qpdf --json`, independently of the engine under test.
class PdfInspector
{
public:
    explicit PdfInspector(const std::filesystem::path& pdf);

    int pageCount() const { return static_cast<int>(m_pages.size()); }
    const std::string& pageRef(int index) const { return m_pages.at(static_cast<size_t>(index)); }

    // The value of an object ("N 0 R"); for a stream, its dictionary.
    nlohmann::json object(const std::string& ref) const;
    // `value` itself, or the object it refers to when it is a reference.
    nlohmann::json resolve(const nlohmann::json& value) const;
    nlohmann::json page(int index) const { return object(pageRef(index)); }
    std::vector<nlohmann::json> annotations(int index) const;
    nlohmann::json trailer() const { return m_json.at("qpdf").at(1).at("trailer").at("value"); }
    nlohmann::json catalog() const { return resolve(trailer()["/Root"]); }
    // All that `qpdf --json` tells, such as "acroform" and "outlines".
    const nlohmann::json& json() const { return m_json; }
    // How many objects in the file are page dictionaries, in the page tree or not.
    int pageObjectCount() const;

private:
    nlohmann::json m_json;
    std::vector<std::string> m_pages;
};

struct DecodedJpeg
{
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    std::array<int, 3> pixel(int x, int y) const
    {
        const auto* rgb = &this->rgb.at(static_cast<size_t>((y * width + x) * 3));
        return {rgb[0], rgb[1], rgb[2]};
    }
};

DecodedJpeg decodeJpeg(const std::vector<unsigned char>& jpeg);

} // namespace lumafold::test
