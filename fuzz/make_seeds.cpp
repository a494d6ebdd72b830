// SPDX-License-Identifier: AGPL-3.0-or-later
// Writes a starting corpus for fuzz_inspect: PDFs with links of every kind, bookmarks, form fields,
// notes, inherited boxes and rotation, metadata, a broken cross-reference table, and hostile structure.
//   fuzz_make_seeds OUTDIR
#include "support/PdfFactory.h"
#include "support/TempDir.h"

using namespace lumafold::test;

int main(int argc, char** argv)
{
    if (argc != 2) {
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    using Kind = LinkLayout::Kind;
    PdfLayout annotated;
    annotated.title = "Seed";
    annotated.pages = {
        PageLayout{.rotate = 90,
                   .label = "contents",
                   .cornerMarker = true,
                   .links = {LinkLayout{.kind = Kind::destArray, .targetPage = 1},
                             LinkLayout{.kind = Kind::namedDest, .targetPage = 2},
                             LinkLayout{.kind = Kind::goToAction, .targetPage = 0}, LinkLayout{.kind = Kind::uri}},
                   .textField = true,
                   .markup = true,
                   .sharedField = true},
        PageLayout{.sharedField = true}, PageLayout{.width = 100, .height = 50}};
    writePdf(out / "annotated.pdf", annotated);
    // Bookmarks leading to pages in two ways and to none, one of them looping back to its parent.
    PdfLayout outlined{
        .pages = std::vector(3, PageLayout{}),
        .outline = {OutlineItem{.title = "Part", .count = 2, .kids = {1, 2}},
                    OutlineItem{
                        .title = "One", .target = LinkLayout{.kind = Kind::namedDest, .targetPage = 1}, .kids = {0}},
                    OutlineItem{.title = "Two",
                                .target =
                                    LinkLayout{.kind = Kind::goToAction, .targetPage = 2, .view = "/XYZ 0 700 0"}}},
        .outlineTop = {0}};
    writePdf(out / "outlined.pdf", outlined);
    PdfLayout inherited{
        .pages = {PageLayout{.rotate = 180}, PageLayout{}}, .inheritBoxAndRotation = true, .xmpMetadata = true};
    writePdf(out / "inherited.pdf", inherited);
    writeFile(out / "broken-xref.pdf", withBrokenXref(makePdf(annotated)));

    // Hostile structure: annotation lists naming what is no annotation, form fields whose parents
    // loop, page trees that reach a page twice, a file cut short, turns that are no quarter turn.
    PdfLayout hostile{.title = "Hostile"};
    for (const auto stray : {StrayAnnot::itsPage, StrayAnnot::pagesNode, StrayAnnot::catalog}) {
        hostile.pages.push_back(PageLayout{.markup = true, .strayAnnot = stray});
    }
    for (const auto loop : {FieldLoop::widgetIsItsOwnParent, FieldLoop::fieldIsItsOwnParent, FieldLoop::twoFields}) {
        hostile.pages.push_back(PageLayout{.rotate = 45, .fieldLoop = loop});
    }
    writePdf(out / "hostile.pdf", hostile);
    writeFile(out / "doubled-tree.pdf", makeDoubledPageTree(12, 1LL << 12));
    writeFile(out / "doubled-tree-count-1.pdf", makeDoubledPageTree(12, 1));
    hostile.catalogLast = true;
    const auto whole = makePdf(hostile);
    writeFile(out / "cut-short.pdf", whole.substr(0, whole.size() / 2));
    return 0;
}
