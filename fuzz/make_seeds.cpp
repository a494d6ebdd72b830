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
    using Kind = LinkSpec::Kind;
    PdfSpec annotated;
    annotated.title = "Seed";
    annotated.pages = {
        PageSpec{.rotate = 90,
                 .label = "contents",
                 .cornerMarker = true,
                 .links = {LinkSpec{.kind = Kind::destArray, .targetPage = 1},
                           LinkSpec{.kind = Kind::namedDest, .targetPage = 2},
                           LinkSpec{.kind = Kind::goToAction, .targetPage = 0}, LinkSpec{.kind = Kind::uri}},
                 .textField = true,
                 .markup = true,
                 .sharedField = true},
        PageSpec{.sharedField = true}, PageSpec{.width = 100, .height = 50}};
    writePdf(out / "annotated.pdf", annotated);
    PdfSpec inherited{
        .pages = {PageSpec{.rotate = 180}, PageSpec{}}, .inheritBoxAndRotation = true, .xmpMetadata = true};
    writePdf(out / "inherited.pdf", inherited);
    writeFile(out / "broken-xref.pdf", withBrokenXref(makePdf(annotated)));
    return 0;
}
