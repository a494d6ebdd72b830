// SPDX-License-Identifier: AGPL-3.0-or-later
#include "app/model/PageItem.h"
#include "app/model/PagesExportMode.h"

#include <gtest/gtest.h>

namespace lumafold {
namespace {

TEST(PagesExportModeTest, RawValuesAreTheExactLabels)
{
    const QString labels[] = {"One PDF", "Selected pages", "Split into PDFs"};
    ASSERT_EQ(allPagesExportModes().size(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(labels[i].toStdString());
        EXPECT_EQ(rawValue(allPagesExportModes()[i]), labels[i]);
        EXPECT_EQ(pagesExportModeFromRawValue(labels[i]), allPagesExportModes()[i]);
    }
    EXPECT_EQ(allPagesExportModes().first(), PagesExportMode::combined);
    for (const QString raw : {"selected pages", "One PDF ", ""}) {
        EXPECT_EQ(pagesExportModeFromRawValue(raw), std::nullopt) << raw.toStdString();
    }
}

// Equal cards must agree in everything, so that an unchanged assignment can be told from a change.
TEST(PageItemTest, EveryFieldTakesPartInEquality)
{
    const QUuid id = QUuid::createUuid();
    const PageDescriptor page(PageContent::source("/docs/a.pdf", 2), 90);
    const PageItem card{id, page, QByteArray("jpeg"), "a.pdf", 3};
    const PageItem others[] = {
        {QUuid::createUuid(), page, QByteArray("jpeg"), "a.pdf", 3},
        {id, PageDescriptor(PageContent::source("/docs/b.pdf", 2), 90), QByteArray("jpeg"), "a.pdf", 3},
        {id, PageDescriptor(PageContent::source("/docs/a.pdf", 1), 90), QByteArray("jpeg"), "a.pdf", 3},
        {id, PageDescriptor(PageContent::blank(PageSize::a4), 90), QByteArray("jpeg"), "a.pdf", 3},
        {id, PageDescriptor(page.content, 180), QByteArray("jpeg"), "a.pdf", 3},
        {id, page, QByteArray("jpeg2"), "a.pdf", 3},
        {id, page, QByteArray(""), "a.pdf", 3},
        {id, page, QByteArray(), "a.pdf", 3},
        {id, page, QByteArray("jpeg"), "b.pdf", 3},
        {id, page, QByteArray("jpeg"), "a.pdf", 4},
        {id, page, QByteArray("jpeg"), "a.pdf", std::nullopt},
    };
    for (const PageItem& other : others) {
        SCOPED_TRACE(&other - others);
        EXPECT_FALSE(other == card);
        EXPECT_FALSE(card == other);
    }
    EXPECT_FALSE(others[6] == others[7]) << "an empty picture is not a missing one";
    const PageItem copy = card;
    EXPECT_EQ(copy, card);
    EXPECT_EQ(qHash(copy), qHash(card));
}

} // namespace
} // namespace lumafold
