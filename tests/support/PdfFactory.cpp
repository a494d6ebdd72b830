// SPDX-License-Identifier: AGPL-3.0-or-later
#include "support/PdfFactory.h"

#include "support/TempDir.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iomanip>
#include <map>
#include <numeric>
#include <sstream>

namespace lumafold::test {

namespace {

std::string num(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    return buffer;
}

std::string ref(int object)
{
    return std::to_string(object) + " 0 R";
}

std::string refs(const std::vector<int>& objects)
{
    return std::accumulate(objects.begin(), objects.end(), std::string(),
                           [](const std::string& list, int object) { return list + ref(object) + " "; });
}

std::string pdfString(const std::string& text)
{
    std::string out = "(";
    for (char c : text) {
        out += std::string(c == '(' || c == ')' || c == '\\' ? "\\" : "") + c;
    }
    return out + ")";
}

std::string stream(const std::string& dict, const std::string& data)
{
    return "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

class Writer
{
public:
    int add(std::string body)
    {
        m_objects.push_back(std::move(body));
        return static_cast<int>(m_objects.size());
    }
    int placeholder() { return add(""); }
    void set(int object, std::string body) { m_objects[static_cast<size_t>(object - 1)] = std::move(body); }

    // `lastFirst`: the objects in the file in the reverse order of their numbers.
    std::string finish(int root, int info, bool lastFirst = false) const
    {
        std::ostringstream out;
        out << "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
        std::vector<std::streamoff> offsets(m_objects.size());
        for (size_t n = 0; n < m_objects.size(); ++n) {
            const size_t i = lastFirst ? m_objects.size() - 1 - n : n;
            offsets[i] = out.tellp();
            out << (i + 1) << " 0 obj\n" << m_objects[i] << "\nendobj\n";
        }
        const auto xref = out.tellp();
        out << "xref\n0 " << (m_objects.size() + 1) << "\n0000000000 65535 f \n";
        for (auto offset : offsets) {
            out << std::setw(10) << std::setfill('0') << offset << " 00000 n \n";
        }
        out << "trailer\n<< /Size " << (m_objects.size() + 1) << " /Root " << ref(root)
            << (info ? " /Info " + ref(info) : "") << " >>\nstartxref\n"
            << xref << "\n%%EOF\n";
        return out.str();
    }

private:
    std::vector<std::string> m_objects;
};

std::string pageContent(const PageLayout& page)
{
    std::string content = "1 1 1 rg 0 0 " + num(page.width) + " " + num(page.height) + " re f\n";
    if (page.cornerMarker) {
        const double side = std::min(page.width, page.height) / 4;
        content += "1 0 0 rg 0 " + num(page.height - side) + " " + num(side) + " " + num(side) + " re f\n";
    }
    if (!page.label.empty()) {
        content += "0 0 0 rg BT /F1 24 Tf 72 " + num(page.height / 2) + " Td " + pdfString(page.label) + " Tj ET\n";
    }
    return content;
}

// /Dest or /A of a link or bookmark.
std::string linkTarget(const LinkLayout& link, const std::vector<int>& pageObjects)
{
    const auto target = "[" + ref(pageObjects.at(static_cast<size_t>(link.targetPage))) + " " + link.view + "]";
    switch (link.kind) {
    case LinkLayout::Kind::destArray:
        return "/Dest " + target;
    case LinkLayout::Kind::goToAction:
        return "/A << /S /GoTo /D " + target + " >>";
    case LinkLayout::Kind::namedDest:
        return "/Dest (dest" + std::to_string(link.targetPage) + ")";
    case LinkLayout::Kind::uri:
        return "/A << /S /URI /URI " + pdfString(link.uri) + " >>";
    }
    return {};
}

// Links the entries as their kids lists say (the root's are outlineTop); a later list wins.
int writeOutline(Writer& w, const PdfLayout& layout, const std::vector<int>& pageObjects)
{
    const int root = w.placeholder(); // entry i is object root + 1 + i; -1 stands for the root
    std::vector<std::map<std::string, int>> links(layout.outline.size() + 1);
    const auto link = [&](int from, const char* key, int to) {
        links.at(size_t(from + 1))[key] = root + 1 + to;
    };
    for (int parent = -1; parent < int(layout.outline.size()); ++parent) {
        const auto& kids = parent < 0 ? layout.outlineTop : layout.outline[size_t(parent)].kids;
        for (size_t k = 0; k < kids.size(); ++k) {
            link(kids[k], "/Parent", parent);
            if (k > 0) {
                link(kids[k], "/Prev", kids[k - 1]);
                link(kids[k - 1], "/Next", kids[k]);
            }
        }
        if (!kids.empty()) {
            link(parent, "/First", kids.front());
            link(parent, "/Last", kids.back());
        }
    }
    const auto linksOf = [&links](size_t i) {
        std::string dict;
        for (const auto& [key, target] : links[i]) {
            dict += " " + key + " " + ref(target);
        }
        return dict;
    };
    w.set(root, "<< /Type /Outlines" + linksOf(0) + " >>");
    for (size_t i = 0; i < layout.outline.size(); ++i) {
        const auto& item = layout.outline[i];
        w.add("<< /Title " + pdfString(item.title) + linksOf(i + 1) +
              (item.count ? " /Count " + std::to_string(item.count) : "") +
              (item.target ? " " + linkTarget(*item.target, pageObjects) : "") + " " + item.extra + " >>");
    }
    return root;
}

} // namespace

std::string makePdf(const PdfLayout& layout)
{
    Writer w;
    const int catalog = w.placeholder();
    const int pagesNode = w.placeholder();
    const int font = w.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    std::vector<int> pageObjects(layout.pages.size());
    std::generate(pageObjects.begin(), pageObjects.end(), [&w] { return w.placeholder(); });

    const auto xmp = stream("/Type /Metadata /Subtype /XML", "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>");
    std::vector<int> fields;
    int sharedField = 0;
    std::vector<int> sharedKids;
    for (size_t i = 0; i < layout.pages.size(); ++i) {
        const auto& page = layout.pages[i];
        std::vector<int> annots;
        for (size_t l = 0; l < page.links.size(); ++l) {
            const double y = 72 + 30 * static_cast<double>(l);
            annots.push_back(w.add("<< /Type /Annot /Subtype /Link /Rect [72 " + num(y) + " 200 " + num(y + 20) +
                                   "] /Border [0 0 0] " + linkTarget(page.links[l], pageObjects) + " >>"));
        }
        const std::string pageRef = " /P " + ref(pageObjects[i]);
        if (page.textField) {
            const int appearance =
                w.add(stream("/Type /XObject /Subtype /Form /BBox [0 0 200 20]", "0 0 1 rg 0 0 200 20 re f"));
            fields.push_back(
                annots.emplace_back(w.add("<< /Type /Annot /Subtype /Widget /FT /Tx /T (field" + std::to_string(i) +
                                          ") /V (value" + std::to_string(i) + ") /Rect [300 700 500 720] /F 4" +
                                          pageRef + " /AP << /N " + ref(appearance) + " >> >>")));
        }
        if (page.sharedField) {
            if (!sharedField) {
                sharedField = w.placeholder();
                fields.push_back(sharedField);
            }
            sharedKids.push_back(
                annots.emplace_back(w.add("<< /Type /Annot /Subtype /Widget /Rect [300 650 500 670] /F 4 /Parent " +
                                          ref(sharedField) + pageRef + " >>")));
        }
        if (page.markup) {
            const int note = w.placeholder();
            const int popup =
                w.add("<< /Type /Annot /Subtype /Popup /Rect [300 500 450 600] /Parent " + ref(note) + pageRef + " >>");
            w.set(note, "<< /Type /Annot /Subtype /Text /Rect [300 600 320 620] /Contents (A note) /Popup " +
                            ref(popup) + pageRef + " >>");
            const int highlight =
                w.add("<< /Type /Annot /Subtype /Highlight /Rect [72 400 300 420] /QuadPoints [72 420 300 420 72 400 "
                      "300 400] /C [1 1 0] /Contents (Highlighted)" +
                      pageRef + " >>");
            annots.insert(annots.end(), {note, popup, highlight});
        }
        if (page.fieldLoop != FieldLoop::none) {
            const std::string widget = "/Type /Annot /Subtype /Widget /Rect [300 600 500 620] /F 4" + pageRef;
            const int top = w.placeholder();
            fields.push_back(top);
            if (page.fieldLoop == FieldLoop::widgetIsItsOwnParent) {
                w.set(top, "<< " + widget + " /FT /Tx /T (loop) /V (looped) /Parent " + ref(top) + " >>");
                annots.push_back(top);
            } else {
                // The widget's own field: the looping one itself, or "a" below "b".
                const bool two = page.fieldLoop == FieldLoop::twoFields;
                const int field = two ? w.placeholder() : top;
                annots.push_back(w.add("<< " + widget + " /Parent " + ref(field) + " >>"));
                w.set(field, "<< /FT /Tx /T (" + std::string(two ? "a" : "loop") + ") /V (looped) /Parent " + ref(top) +
                                 " /Kids [" + ref(annots.back()) + "] >>");
                if (two) {
                    w.set(top, "<< /T (b) /Parent " + ref(field) + " /Kids [" + ref(field) + "] >>");
                }
            }
        }
        const int content = w.add(stream("", pageContent(page)));
        std::string dict = "<< /Type /Page /Parent " + ref(pagesNode) + " /Resources << /Font << /F1 " + ref(font) +
                           " >> >> /Contents " + ref(content);
        if (!layout.inheritBoxAndRotation) {
            dict += " /MediaBox [0 0 " + num(page.width) + " " + num(page.height) + "]";
            dict += page.rotate ? " /Rotate " + std::to_string(page.rotate) : "";
        }
        dict += layout.xmpMetadata ? " /Metadata " + ref(w.add(xmp)) : "";
        if (page.strayAnnot != StrayAnnot::none) { // in the order of StrayAnnot
            annots.push_back(std::array{0, pageObjects[i], pagesNode, catalog}[size_t(page.strayAnnot)]);
        }
        dict += annots.empty() ? "" : " /Annots [" + refs(annots) + "]";
        w.set(pageObjects[i], dict + " >>");
    }
    if (sharedField) {
        w.set(sharedField, "<< /FT /Tx /T (shared) /V (together) /Kids [" + refs(sharedKids) + "] >>");
    }

    std::string pages =
        "<< /Type /Pages /Count " + std::to_string(layout.pages.size()) + " /Kids [" + refs(pageObjects) + "]";
    if (layout.inheritBoxAndRotation && !layout.pages.empty()) {
        const auto& first = layout.pages.front();
        pages += " /MediaBox [0 0 " + num(first.width) + " " + num(first.height) + "] /Rotate " +
                 std::to_string(first.rotate);
    }
    w.set(pagesNode, pages + " >>");

    std::string cat = "<< /Type /Catalog /Pages " + ref(pagesNode);
    std::string names;
    for (size_t i = 0; i < layout.pages.size(); ++i) {
        names += "(dest" + std::to_string(i) + ") [" + ref(pageObjects[i]) + " /Fit] ";
    }
    cat += names.empty() ? "" : " /Names << /Dests " + ref(w.add("<< /Names [" + names + "] >>")) + " >>";
    cat += fields.empty() ? "" : " /AcroForm << /Fields [" + refs(fields) + "] /DA (/Helv 0 Tf 0 g) >>";
    cat += layout.xmpMetadata ? " /Metadata " + ref(w.add(xmp)) : "";
    cat += layout.outlineTop.empty() ? "" : " /Outlines " + ref(writeOutline(w, layout, pageObjects));
    w.set(catalog, cat + " >>");
    const int info = layout.title ? w.add("<< /Title " + pdfString(*layout.title) + " /Author (Tester) >>") : 0;
    return w.finish(catalog, info, layout.catalogLast);
}

std::filesystem::path writePdf(const std::filesystem::path& path, const PdfLayout& layout)
{
    writeFile(path, makePdf(layout));
    return path;
}

std::filesystem::path writeSimplePdf(const std::filesystem::path& path, int count, double width, double height)
{
    PdfLayout layout;
    for (int i = 0; i < count; ++i) {
        layout.pages.push_back(PageLayout{.width = width, .height = height, .label = "Page " + std::to_string(i + 1)});
    }
    return writePdf(path, layout);
}

std::string withBrokenXref(const std::string& pdf)
{
    std::string broken = pdf;
    // Shift every in-use offset by 7 bytes so that none points at its object any more.
    for (auto pos = broken.find(" 00000 n", broken.rfind("\nxref\n")); pos != std::string::npos;
         pos = broken.find(" 00000 n", pos + 1)) {
        const auto shifted = std::to_string(std::stoll(broken.substr(pos - 10, 10)) + 7);
        broken.replace(pos - 10, 10, std::string(10 - shifted.size(), '0') + shifted);
    }
    return broken;
}

std::string makeDoubledPageTree(int depth, long long rootCount)
{
    // Objects: the catalog, the nodes from the root down, the page's content, the page.
    Writer w;
    const int page = depth + 3;
    w.add("<< /Type /Catalog /Pages 2 0 R >>");
    for (int level = 0; level < depth; ++level) {
        const int child = level + 1 < depth ? level + 3 : page;
        const long long count = level == 0 ? rootCount : 1LL << (depth - level);
        w.add("<< /Type /Pages /Count " + std::to_string(count) + " /Kids [" + ref(child) + " " + ref(child) + "]" +
              (level > 0 ? " /Parent " + ref(level + 1) : "") + " >>");
    }
    w.add(stream("", "0 0 1 rg 10 10 50 50 re f"));
    w.add("<< /Type /Page /Parent " + ref(page - 2) + " /MediaBox [0 0 200 200] /Contents " + ref(page - 1) + " >>");
    return w.finish(1, 0);
}

} // namespace lumafold::test
