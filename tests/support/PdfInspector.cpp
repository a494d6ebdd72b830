// SPDX-License-Identifier: AGPL-3.0-or-later
#include "support/PdfInspector.h"

#include "support/Qpdf.h"

#include <memory>
#include <regex>
#include <stdexcept>
#include <turbojpeg.h>

namespace lumafold::test {

PdfInspector::PdfInspector(const std::filesystem::path& pdf)
{
    const auto json = qpdf::json(pdf);
    m_objects = json.at("qpdf").at(1);
    m_acroform = json.at("acroform");
    for (const auto& page : json.at("pages")) {
        m_pages.push_back(page.at("object").get<std::string>());
    }
}

nlohmann::json PdfInspector::object(const std::string& ref) const
{
    const auto& entry = m_objects.at("obj:" + ref);
    if (entry.contains("stream")) {
        return entry["stream"]["dict"];
    }
    return entry.at("value");
}

nlohmann::json PdfInspector::resolve(const nlohmann::json& value) const
{
    static const std::regex reference(R"(\d+ \d+ R)");
    if (value.is_string() && std::regex_match(value.get<std::string>(), reference)) {
        return object(value.get<std::string>());
    }
    return value;
}

std::vector<nlohmann::json> PdfInspector::annotations(int index) const
{
    std::vector<nlohmann::json> annots;
    for (const auto& annot : resolve(page(index).value("/Annots", nlohmann::json::array()))) {
        annots.push_back(resolve(annot));
    }
    return annots;
}

nlohmann::json PdfInspector::trailer() const
{
    return m_objects.at("trailer").at("value");
}

int PdfInspector::pageObjectCount() const
{
    int count = 0;
    for (const auto& [key, entry] : m_objects.items()) {
        if (entry.contains("value") && entry["value"].is_object() && entry["value"].value("/Type", "") == "/Page") {
            ++count;
        }
    }
    return count;
}

DecodedJpeg decodeJpeg(const std::vector<unsigned char>& jpeg)
{
    const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
    DecodedJpeg image;
    int subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(handle.get(), jpeg.data(), jpeg.size(), &image.width, &image.height, &subsampling,
                            &colourspace) != 0) {
        throw std::runtime_error("not a JPEG");
    }
    image.rgb.resize(static_cast<size_t>(image.width * image.height * 3));
    if (tjDecompress2(handle.get(), jpeg.data(), jpeg.size(), image.rgb.data(), image.width, 0, image.height, TJPF_RGB,
                      0) != 0) {
        throw std::runtime_error("cannot decode JPEG");
    }
    return image;
}

} // namespace lumafold::test
