// SPDX-License-Identifier: AGPL-3.0-or-later
// Writes a starting corpus for fuzz_inspect: PDFs with links of every kind, form fields, notes,
// inherited boxes and rotation, metadata, and a broken cross-reference table.
//   fuzz_make_seeds OUTDIR
#include "tests/support/PdfFactory.h"
#include "tests/support/TempDir.h"

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
    PdfLayout inherited{
        .pages = {PageLayout{.rotate = 180}, PageLayout{}}, .inheritBoxAndRotation = true, .xmpMetadata = true};
    writePdf(out / "inherited.pdf", inherited);
    writeFile(out / "broken-xref.pdf", withBrokenXref(makePdf(annotated)));
    return 0;
}
