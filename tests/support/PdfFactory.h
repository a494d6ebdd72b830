// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Writes small PDFs for the tests with its own minimal writer, so an engine fault cannot
// hide itself by producing its own test input.
namespace lumafold::test {

struct LinkLayout
{
    enum class Kind
    {
        destArray,  // /Dest [page /Fit]
        goToAction, // /A << /S /GoTo /D [page /Fit] >>
        namedDest,  // /Dest (name), resolved through the catalog's /Names /Dests tree
        uri,        // /A << /S /URI /URI (...) >>
    };
    Kind kind = Kind::destArray;
    int targetPage = 0;        // for the internal kinds
    std::string view = "/Fit"; // how the target page is shown, for the explicit kinds
    std::string uri = "https://example.org/";
};

// An object that is no annotation, named in a page's /Annots as a damaged or hostile file might.
enum class StrayAnnot
{
    none,
    itsPage,
    pagesNode,
    catalog,
};

// A widget whose /Parent chain leads back to itself or loops above it.
enum class FieldLoop
{
    none,
    widgetIsItsOwnParent, // a merged text field and widget naming itself as /Parent
    fieldIsItsOwnParent,  // a widget under the field "loop", which names itself as /Parent
    twoFields,            // a widget under "a", whose parent "b" has "a" as its parent
};

struct PageLayout
{
    double width = 612;
    double height = 792;
    int rotate = 0; // written as /Rotate when not 0
    std::string label;
    // A red square in the top-left corner of the unturned page, to tell orientation in pictures.
    bool cornerMarker = false;
    std::vector<LinkLayout> links;
    bool textField = false;   // a text form field (merged field/widget) named "field<page>"
    bool markup = false;      // a /Text note with its /Popup, and a /Highlight
    bool sharedField = false; // a widget of the field "shared", whose kids spread over pages
    StrayAnnot strayAnnot = StrayAnnot::none;
    FieldLoop fieldLoop = FieldLoop::none;
};

// A bookmark. `kids` index PdfLayout::outline; naming an ancestor there makes a loop.
struct OutlineItem
{
    std::string title;                // any bytes, in a literal string
    std::optional<LinkLayout> target; // none for a heading
    int count = 0;                    // /Count when not 0; negative when closed
    std::string extra;                // more of its dictionary, as written
    std::vector<int> kids;
};

struct PdfLayout
{
    std::vector<PageLayout> pages;
    std::optional<std::string> title;
    // /MediaBox and /Rotate of the first page are put on the /Pages node and left off every page.
    bool inheritBoxAndRotation = false;
    bool xmpMetadata = false; // /Metadata streams on the catalog and on every page
    // Objects written in reverse, the catalog and page tree last, as many writers place them.
    bool catalogLast = false;
    std::vector<OutlineItem> outline;
    std::vector<int> outlineTop; // the entries under /Outlines
};

std::string makePdf(const PdfLayout& layout);
std::filesystem::path writePdf(const std::filesystem::path& path, const PdfLayout& layout);
// `count` plain letter-size pages labelled "Page 1", "Page 2", ...
std::filesystem::path writeSimplePdf(const std::filesystem::path& path, int count, double width = 612,
                                     double height = 792);
// The same PDF with every cross-reference offset pointing at the wrong place.
std::string withBrokenXref(const std::string& pdf);
// A page tree in which every /Pages node lists the same child twice, `depth` nodes deep above a
// single page object: 2^depth pages in a few hundred bytes. The root claims `rootCount` pages,
// every other node its true count.
std::string makeDoubledPageTree(int depth, long long rootCount);

} // namespace lumafold::test
