// SPDX-License-Identifier: AGPL-3.0-or-later
#include "EngineTestSupport.h"

#include <set>

using namespace lumafold;
using namespace lumafold::test;

namespace {

using Kind = LinkLayout::Kind;

std::vector<nlohmann::json> ofSubtype(const std::vector<nlohmann::json>& annots, const std::string& subtype)
{
    std::vector<nlohmann::json> found;
    std::copy_if(annots.begin(), annots.end(), std::back_inserter(found),
                 [&](const auto& annot) { return annot.value("/Subtype", "") == subtype; });
    return found;
}

// Where each link of a page leads: an output page reference, or its web address.
std::multiset<std::string> linkTargets(const PdfInspector& pdf, int page)
{
    std::multiset<std::string> targets;
    for (const auto& link : ofSubtype(pdf.annotations(page), "/Link")) {
        const auto action = link.contains("/A") ? pdf.resolve(link["/A"]) : nlohmann::json::object();
        targets.insert(link.contains("/Dest")    ? pdf.resolve(link["/Dest"])[0].get<std::string>()
                       : action.contains("/URI") ? action["/URI"].get<std::string>()
                                                 : pdf.resolve(action["/D"])[0].get<std::string>());
    }
    return targets;
}

} // namespace

TEST(Annotations, InternalLinksFollowTheFirstCopyOfTheirTargetPageOrAreDropped)
{
    TempDir dir;
    // Page 0 links to page 2 in every internal form (by name twice), and to a web address.
    PageLayout contents{.links = {LinkLayout{.kind = Kind::uri}}};
    for (const auto kind : {Kind::destArray, Kind::goToAction, Kind::namedDest, Kind::namedDest}) {
        contents.links.push_back({.kind = kind, .targetPage = 2});
    }
    const auto src = writePdf(dir / "linked.pdf", {.pages = {contents, PageLayout{}, PageLayout{}}});
    const std::string web = "u:https://example.org/";
    // The contents page comes last, after two copies of the chapter it links to; then alone.
    const auto pdf =
        checkedExport(dir, {sourcePage(src, 1), sourcePage(src, 2), sourcePage(src, 2, 90), sourcePage(src, 0)});
    const auto chapter = pdf.pageRef(1);
    EXPECT_EQ(linkTargets(pdf, 3), (std::multiset<std::string>{chapter, chapter, chapter, chapter, web}));
    EXPECT_EQ(linkTargets(checkedExport(dir, {sourcePage(src, 0)}), 0), std::multiset<std::string>{web});
}

TEST(Annotations, FormFieldsSurviveWithTheirValues)
{
    TempDir dir;
    PdfLayout layout{.pages = {PageLayout{.textField = true, .sharedField = true}, PageLayout{.sharedField = true},
                               PageLayout{.textField = true}}};
    const auto src = writePdf(dir / "form.pdf", layout);
    // Page 1 carries only one widget of "shared"; page 2 its own field.
    const auto pdf = checkedExport(dir, {sourcePage(src, 1), sourcePage(src, 2)});
    std::map<std::string, std::pair<std::string, int>> fields;
    for (const auto& field : pdf.json()["acroform"]["fields"]) {
        fields[field["fullname"]] = {field["value"], field["pageposfrom1"]};
    }
    EXPECT_EQ(fields, (std::map<std::string, std::pair<std::string, int>>{{"shared", {"u:together", 1}},
                                                                          {"field2", {"u:value2", 2}}}));
    // The shared field keeps only the widget that came along.
    const auto widget = ofSubtype(pdf.annotations(0), "/Widget").at(0);
    EXPECT_EQ(pdf.resolve(widget["/Parent"])["/Kids"].size(), 1u);
}

// Notes keep their popups and point at their new page, even when /Annots names objects that are
// no annotations.
TEST(Annotations, MarkupKeepsItsPopupAndPointsAtTheNewPage)
{
    TempDir dir;
    constexpr int count = 50;
    for (const auto stray : {StrayAnnot::itsPage, StrayAnnot::pagesNode, StrayAnnot::catalog}) {
        SCOPED_TRACE(static_cast<int>(stray));
        PdfLayout layout{.pages = std::vector(count, PageLayout{.markup = true, .strayAnnot = stray})};
        const auto src = writePdf(dir / ("stray" + std::to_string(static_cast<int>(stray)) + ".pdf"), layout);
        const auto pdf = checkedExport(dir, LumafoldEngine::descriptors(src));
        ASSERT_EQ(pdf.pageCount(), count);
        for (int i = 0; i < count; ++i) {
            const auto annots = pdf.annotations(i);
            ASSERT_EQ(annots.size(), 3u) << "page " << i;
            const auto note = ofSubtype(annots, "/Text").at(0);
            EXPECT_EQ(note["/P"], pdf.pageRef(i));
            EXPECT_EQ(pdf.resolve(pdf.resolve(note["/Popup"])["/Parent"])["/Contents"], "u:A note");
            EXPECT_EQ(ofSubtype(annots, "/Highlight").size(), 1u);
        }
    }
}

TEST(Annotations, FieldParentLoopsAreCut)
{
    TempDir dir;
    for (const auto loop : {FieldLoop::widgetIsItsOwnParent, FieldLoop::fieldIsItsOwnParent, FieldLoop::twoFields}) {
        SCOPED_TRACE(static_cast<int>(loop));
        const auto name = "loop" + std::to_string(static_cast<int>(loop)) + ".pdf";
        const auto pdf =
            checkedExport(dir, {sourcePage(writePdf(dir / name, {.pages = {PageLayout{.fieldLoop = loop}}}), 0)});
        ASSERT_EQ(pdf.json()["acroform"]["fields"].size(), 1u);
        EXPECT_EQ(pdf.json()["acroform"]["fields"][0]["value"], "u:looped");
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
