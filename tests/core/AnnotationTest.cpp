// SPDX-License-Identifier: AGPL-3.0-or-later
#include "EngineTestSupport.h"
#include "support/PdfInspector.h"
#include "support/Qpdf.h"

#include <algorithm>
#include <set>

using namespace lumafold;
using namespace lumafold::test;

namespace {

using Kind = LinkLayout::Kind;

// Page 0 links to page 2 in every internal form (by name twice), and to a web address.
std::filesystem::path writeLinkedPdf(const TempDir& dir)
{
    PdfLayout layout;
    layout.pages = {PageLayout{.label = "contents",
                               .links = {LinkLayout{.kind = Kind::destArray, .targetPage = 2},
                                         LinkLayout{.kind = Kind::goToAction, .targetPage = 2},
                                         LinkLayout{.kind = Kind::namedDest, .targetPage = 2},
                                         LinkLayout{.kind = Kind::namedDest, .targetPage = 2},
                                         LinkLayout{.kind = Kind::uri, .uri = "https://example.org/manual"}}},
                    PageLayout{.label = "middle"}, PageLayout{.label = "chapter"}};
    return writePdf(dir / "linked.pdf", layout);
}

std::string linkTarget(const PdfInspector& pdf, const nlohmann::json& link)
{
    if (link.contains("/Dest")) {
        return pdf.resolve(link["/Dest"])[0].get<std::string>();
    }
    return pdf.resolve(pdf.resolve(link["/A"])["/D"])[0].get<std::string>();
}

std::vector<nlohmann::json> ofSubtype(const std::vector<nlohmann::json>& annots, const std::string& subtype)
{
    std::vector<nlohmann::json> found;
    for (const auto& annot : annots) {
        if (annot.value("/Subtype", "") == subtype) {
            found.push_back(annot);
        }
    }
    return found;
}

} // namespace

TEST(Annotations, InternalLinksFollowTheirTargetPage)
{
    TempDir dir;
    const auto src = writeLinkedPdf(dir);
    // The contents page now comes last, after the chapter it links to.
    const auto out = writeResult(
        dir, LumafoldEngine::assemble({sourcePage(src, 1), sourcePage(src, 2), sourcePage(src, 0)}, false), "out.pdf");
    EXPECT_TRUE(qpdf::checkPasses(out));
    PdfInspector pdf(out);
    const auto links = ofSubtype(pdf.annotations(2), "/Link");
    ASSERT_EQ(links.size(), 5u);
    int internal = 0;
    for (const auto& link : links) {
        const auto action = link.contains("/A") ? pdf.resolve(link["/A"]) : nlohmann::json::object();
        if (action.value("/S", "") == "/URI") {
            EXPECT_EQ(action["/URI"], "u:https://example.org/manual");
            continue;
        }
        ++internal;
        EXPECT_EQ(linkTarget(pdf, link), pdf.pageRef(1));
    }
    EXPECT_EQ(internal, 4);
    EXPECT_EQ(pdf.pageObjectCount(), 3);
}

TEST(Annotations, LinksToPagesLeftOutAreDroppedAndWebLinksKept)
{
    TempDir dir;
    const auto src = writeLinkedPdf(dir);
    const auto out =
        writeResult(dir, LumafoldEngine::assemble({sourcePage(src, 0), sourcePage(src, 1)}, false), "out.pdf");
    PdfInspector pdf(out);
    const auto links = ofSubtype(pdf.annotations(0), "/Link");
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(pdf.resolve(links[0]["/A"])["/URI"], "u:https://example.org/manual");
    EXPECT_EQ(pdf.pageObjectCount(), 2);
}

TEST(Annotations, LinkToADuplicatedPageTargetsItsFirstCopy)
{
    TempDir dir;
    const auto src = writeLinkedPdf(dir);
    const auto out = writeResult(
        dir,
        LumafoldEngine::assemble(
            {blankPage(PageSize::a4), sourcePage(src, 2), sourcePage(src, 2, 90), sourcePage(src, 0)}, false),
        "out.pdf");
    PdfInspector pdf(out);
    const auto links = ofSubtype(pdf.annotations(3), "/Link");
    ASSERT_EQ(links.size(), 5u);
    for (const auto& link : links) {
        if (link.contains("/Dest") || pdf.resolve(link["/A"]).value("/S", "") == "/GoTo") {
            EXPECT_EQ(linkTarget(pdf, link), pdf.pageRef(1));
        }
    }
}

TEST(Annotations, FormFieldsSurviveWithTheirValues)
{
    TempDir dir;
    PdfLayout layout;
    layout.pages = {PageLayout{.textField = true, .sharedField = true}, PageLayout{.sharedField = true},
                    PageLayout{.textField = true}};
    const auto src = writePdf(dir / "form.pdf", layout);
    // Page 1 carries only one widget of "shared"; page 2 its own field.
    const auto out =
        writeResult(dir, LumafoldEngine::assemble({sourcePage(src, 1), sourcePage(src, 2)}, false), "out.pdf");
    EXPECT_TRUE(qpdf::checkPasses(out));
    PdfInspector pdf(out);
    ASSERT_TRUE(pdf.acroform()["hasacroform"].get<bool>());
    std::map<std::string, std::pair<std::string, int>> fields;
    for (const auto& field : pdf.acroform()["fields"]) {
        fields[field["fullname"].get<std::string>()] = {field["value"].get<std::string>(),
                                                        field["pageposfrom1"].get<int>()};
    }
    EXPECT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields["shared"], std::make_pair(std::string("u:together"), 1));
    EXPECT_EQ(fields["field2"], std::make_pair(std::string("u:value2"), 2));
    EXPECT_FALSE(fields.contains("field0"));
    // The shared field keeps only the widget that came along.
    const auto widget = ofSubtype(pdf.annotations(0), "/Widget").at(0);
    EXPECT_EQ(pdf.resolve(widget["/Parent"])["/Kids"].size(), 1u);
    EXPECT_EQ(pdf.pageObjectCount(), 2);
}

TEST(Annotations, MarkupKeepsItsPopupAndPointsAtTheNewPage)
{
    TempDir dir;
    PdfLayout layout{.pages = {PageLayout{}, PageLayout{.markup = true}}};
    const auto src = writePdf(dir / "notes.pdf", layout);
    const auto out = writeResult(dir, LumafoldEngine::assemble({sourcePage(src, 1)}, false), "out.pdf");
    EXPECT_TRUE(qpdf::checkPasses(out));
    PdfInspector pdf(out);
    const auto annots = pdf.annotations(0);
    ASSERT_EQ(annots.size(), 3u);
    const auto note = ofSubtype(annots, "/Text").at(0);
    EXPECT_EQ(note["/Contents"], "u:A note");
    EXPECT_EQ(note["/P"], pdf.pageRef(0));
    const auto popup = pdf.resolve(note["/Popup"]);
    EXPECT_EQ(popup["/Subtype"], "/Popup");
    EXPECT_EQ(pdf.resolve(popup["/Parent"])["/Contents"], "u:A note");
    EXPECT_EQ(ofSubtype(annots, "/Highlight").size(), 1u);
    EXPECT_EQ(pdf.pageObjectCount(), 1);
}

TEST(Annotations, ObjectsInAnnotsThatAreNoAnnotationsLeaveEveryNoteInPlace)
{
    TempDir dir;
    constexpr int count = 50;
    for (const auto stray : {StrayAnnot::itsPage, StrayAnnot::pagesNode, StrayAnnot::catalog}) {
        SCOPED_TRACE(static_cast<int>(stray));
        PdfLayout layout;
        layout.pages.assign(count, PageLayout{.markup = true, .strayAnnot = stray});
        const auto name = "stray" + std::to_string(static_cast<int>(stray));
        const auto src = writePdf(dir / (name + ".pdf"), layout);
        std::vector<PageDescriptor> pages;
        for (int i = 0; i < count; ++i) {
            pages.push_back(sourcePage(src, i));
        }
        const auto out = writeResult(dir, LumafoldEngine::assemble(pages, false), name + "-out.pdf");
        EXPECT_TRUE(qpdf::checkPasses(out));
        PdfInspector pdf(out);
        for (int i = 0; i < count; ++i) {
            const auto annots = pdf.annotations(i);
            EXPECT_EQ(annots.size(), 3u) << "page " << i;
            EXPECT_EQ(ofSubtype(annots, "/Text").size(), 1u) << "page " << i;
        }
        EXPECT_EQ(pdf.pageObjectCount(), count);
    }
}

TEST(Annotations, FieldParentLoopsAreCut)
{
    TempDir dir;
    for (const auto loop : {FieldLoop::widgetIsItsOwnParent, FieldLoop::fieldIsItsOwnParent, FieldLoop::twoFields}) {
        SCOPED_TRACE(static_cast<int>(loop));
        const auto name = "loop" + std::to_string(static_cast<int>(loop));
        const auto src = writePdf(dir / (name + ".pdf"), PdfLayout{.pages = {PageLayout{.fieldLoop = loop}}});
        const auto out = writeResult(dir, LumafoldEngine::assemble({sourcePage(src, 0)}, false), name + "-out.pdf");
        EXPECT_TRUE(qpdf::checkPasses(out));
        PdfInspector pdf(out);
        ASSERT_TRUE(pdf.acroform()["hasacroform"].get<bool>());
        ASSERT_EQ(pdf.acroform()["fields"].size(), 1u);
        EXPECT_EQ(pdf.acroform()["fields"][0]["value"], "u:looped");
        // From the widget up, every /Parent is new and the chain ends at a field of the form.
        std::string node = pdf.page(0)["/Annots"].at(0).get<std::string>();
        std::set<std::string> seen{node};
        while (pdf.object(node).contains("/Parent")) {
            node = pdf.object(node)["/Parent"].get<std::string>();
            ASSERT_TRUE(seen.insert(node).second) << "loop at " << node;
        }
        const auto topFields = pdf.resolve(pdf.catalog()["/AcroForm"])["/Fields"];
        EXPECT_NE(std::find(topFields.begin(), topFields.end(), node), topFields.end());
    }
}
